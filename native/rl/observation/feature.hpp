#pragma once
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "rl/observation/market_state.hpp"
#include "rl/observation/observation_error.hpp"

namespace vesk::rl {

// Calendar values computed from a state's timestamp; `minute` = (timestamp / 60000) mod 396.
struct TimeFeature {
  struct Minute {};
  struct DayOfWeek {};  // Sunday is 0
  struct MinutesLeft {};
  struct MinuteSin { std::uint64_t period; };
  struct MinuteCos { std::uint64_t period; };

  std::variant<Minute, DayOfWeek, MinutesLeft, MinuteSin, MinuteCos> kind;
};

enum class Aggregation { Mean, Std, Max, Min, Last, Skew, Kurtosis };

struct FeatureSource;

// Where a feature's raw value comes from.
struct FeatureSource {
  struct Price { std::string field; };
  struct Volume { std::string field; };
  struct Portfolio { std::string field; };
  struct Time { TimeFeature kind; };
  // Always last - open; label and inputs are carried for the caller's bookkeeping only.
  struct Derived { std::string label; std::vector<std::string> inputs; };
  // Immutable once built, so sharing the inner source keeps value semantics.
  struct Rolling {
    std::shared_ptr<const FeatureSource> source;
    std::uint64_t window;
    Aggregation aggregation;
  };

  std::variant<Price, Volume, Portfolio, Time, Derived, Rolling> kind;
};

enum class NormalizerKind : std::uint8_t { ZScore = 0, MinMax = 1, Robust = 2, Noop = 3 };

struct ClipBounds {
  double min;
  double max;
};

struct FeatureConfig {
  std::optional<ClipBounds> clip;  // applied after normalisation
  std::string name;                // unique within a space; prefixes the value names
  FeatureSource source;
  NormalizerKind normalizer = NormalizerKind::Noop;
};

// The raw value of `source` for `state`; `history` holds the states before it, oldest first,
// and is read only by Rolling sources.
std::expected<double, ObservationError> extract_feature_value(const FeatureSource& source,
                                                              const MarketState& state,
                                                              std::span<const MarketState> history);

}  // namespace vesk::rl
