#pragma once
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "rl/observation/market_state.hpp"
#include "rl/observation/observation_error.hpp"

namespace vesk::rl {

struct Observation {
  std::optional<std::uint64_t> timestamp;
  std::vector<double> features;
  std::vector<std::string> feature_names;  // same length and order as `features`
};

// Shaped like a Gymnasium Box.
struct BoxSpec {
  std::vector<std::uint64_t> shape;
  std::vector<double> low;
  std::vector<double> high;
  std::uint8_t dtype = 0;  // element-type tag; 0 is float64
};

// How the environment turns market states into observations. The states handed in are
// oldest first; each entry's history is the entries before it.
class ObservationSpace {
 public:
  virtual ~ObservationSpace() = default;

  virtual std::vector<std::uint64_t> shape() const = 0;
  virtual std::vector<double> low() const = 0;
  virtual std::vector<double> high() const = 0;
  virtual BoxSpec gymnasium_box() const = 0;
  // Builds into `out`, reusing its storage; `out` is unspecified after a failure.
  virtual std::expected<void, ObservationError> build_into(const MarketState& current,
                                                           std::span<const MarketState> states,
                                                           Observation& out) const = 0;
  virtual std::vector<std::string> feature_names() const = 0;
  virtual std::size_t num_features() const = 0;

  // Feeds each feature's statistics once with its raw value at the newest of `states`;
  // nothing is fed when any feature fails to extract.
  virtual std::expected<void, ObservationError> observe(std::span<const MarketState> states) = 0;
  // Returns every feature's statistics to their initial state.
  virtual void reset_stats() = 0;
  // Per-value bounds that hold every observation built over `states` (infinite where the
  // values cannot be bounded from the bars alone).
  virtual BoxSpec observed_box(std::span<const MarketState> states) const = 0;

  std::expected<Observation, ObservationError> build(const MarketState& current,
                                                     std::span<const MarketState> states) const {
    Observation out;
    if (auto built = build_into(current, states, out); !built) return std::unexpected(built.error());
    return out;
  }
};

}  // namespace vesk::rl
