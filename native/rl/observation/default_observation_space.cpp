#include "rl/observation/default_observation_space.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <limits>

#include "core/number_format.hpp"
#include "rl/clamp.hpp"

namespace vesk::rl {
namespace {

// Names for more slots than this are formatted when needed rather than kept.
constexpr std::uint64_t kCachedSlots = 64;

ObservationError failed(std::string message) {
  return ObservationError{ObservationError::NormalizationFailed{std::move(message)}};
}

std::string value_name(const std::string& feature, std::uint64_t slot) {
  return fmt::format("{}_t{}", feature, slot);
}

bool clip_is_usable(const ClipBounds& clip) {
  return !std::isnan(clip.min) && !std::isnan(clip.max) && clip.min <= clip.max;
}

// Raw values that depend on a single bar can be bounded by scanning the bars.
bool is_per_bar(const FeatureSource& source) {
  return !std::holds_alternative<FeatureSource::Portfolio>(source.kind) &&
         !std::holds_alternative<FeatureSource::Rolling>(source.kind);
}

struct Range {
  double low;
  double high;
};

Range raw_range(const FeatureSource& source, std::span<const MarketState> states) {
  constexpr double inf = std::numeric_limits<double>::infinity();
  if (!is_per_bar(source)) return {-inf, inf};
  Range range{inf, -inf};
  for (const MarketState& state : states) {
    auto value = extract_feature_value(source, state, {});
    if (!value) return {-inf, inf};
    range.low = std::fmin(range.low, *value);
    range.high = std::fmax(range.high, *value);
  }
  return range;
}

Range normalized_range(const FeatureConfig& feature, std::span<const MarketState> states) {
  Range range = [&]() -> Range {
    switch (feature.normalizer) {
      case NormalizerKind::ZScore:
      case NormalizerKind::Robust: return {-5.0, 5.0};
      case NormalizerKind::MinMax: return {0.0, 1.0};
      case NormalizerKind::Noop: break;
    }
    return raw_range(feature.source, states);
  }();
  if (feature.clip) {
    range.low = clamp_to(range.low, feature.clip->min, feature.clip->max);
    range.high = clamp_to(range.high, feature.clip->min, feature.clip->max);
  }
  return range;
}

}  // namespace

std::expected<void, ObservationError> validate_observation_space(
    std::span<const FeatureConfig> features, std::uint64_t window) {
  if (features.empty()) {
    return std::unexpected(ObservationError{ObservationError::FeatureCountMismatch{1, 0}});
  }
  if (window == 0) return std::unexpected(ObservationError{ObservationError::InvalidWindow{0}});
  for (std::size_t i = 1; i < features.size(); ++i) {
    const auto earlier = features.first(i);
    const bool repeated = std::ranges::any_of(
        earlier, [&](const FeatureConfig& f) { return f.name == features[i].name; });
    if (repeated) {
      return std::unexpected(failed(fmt::format("Duplicate feature name: {}", features[i].name)));
    }
  }
  for (const FeatureConfig& f : features) {
    if (f.clip && !clip_is_usable(*f.clip)) {
      return std::unexpected(failed(fmt::format(
          "clip bounds of feature {} must be numbers with min <= max, got min {} and max {}",
          f.name, display_number(f.clip->min), display_number(f.clip->max))));
    }
  }
  return {};
}

std::expected<DefaultObservationSpace, ObservationError> DefaultObservationSpace::create(
    std::uint64_t window, std::vector<FeatureConfig> features) {
  if (auto valid = validate_observation_space(features, window); !valid) {
    return std::unexpected(valid.error());
  }
  return DefaultObservationSpace(window, std::move(features));
}

DefaultObservationSpace::DefaultObservationSpace(std::uint64_t window,
                                                 std::vector<FeatureConfig> features)
    : features_(std::move(features)), stats_(features_.size()), window_(window) {
  for (const FeatureConfig& f : features_) {
    std::vector<std::string> names;
    for (std::uint64_t s = 0; s < std::min(window_, kCachedSlots); ++s) {
      names.push_back(value_name(f.name, s));
    }
    value_names_.push_back(std::move(names));
  }
  pending_.reserve(features_.size());
}

std::size_t DefaultObservationSpace::num_features() const { return features_.size() * window_; }

std::vector<std::uint64_t> DefaultObservationSpace::shape() const { return {num_features()}; }

std::vector<double> DefaultObservationSpace::low() const {
  return std::vector<double>(num_features(), -5.0);
}

std::vector<double> DefaultObservationSpace::high() const {
  return std::vector<double>(num_features(), 5.0);
}

BoxSpec DefaultObservationSpace::gymnasium_box() const { return {shape(), low(), high(), 0}; }

std::vector<std::string> DefaultObservationSpace::feature_names() const {
  std::vector<std::string> names;
  names.reserve(num_features());
  for (const FeatureConfig& f : features_) {
    for (std::uint64_t s = 0; s < window_; ++s) names.push_back(value_name(f.name, s));
  }
  return names;
}

std::expected<void, ObservationError> DefaultObservationSpace::build_into(
    const MarketState& current, std::span<const MarketState> states, Observation& out) const {
  const std::size_t count = states.size();
  const std::size_t kept = static_cast<std::size_t>(std::min<std::uint64_t>(window_, count));
  const std::size_t first = count - kept;
  out.timestamp = current.timestamp;
  out.features.clear();
  out.features.reserve(features_.size() * kept);
  out.feature_names.resize(features_.size() * kept);
  std::size_t slot_index = 0;
  for (std::size_t m = 0; m < features_.size(); ++m) {
    const FeatureConfig& feature = features_[m];
    const Normalizer& normalizer = normalizer_for(feature.normalizer);
    for (std::size_t j = first; j < count; ++j) {
      auto raw = extract_feature_value(feature.source, states[j], states.first(j));
      if (!raw) return std::unexpected(raw.error());
      double value = normalizer.normalize(stats_[m], *raw);
      if (feature.clip) value = clamp_to(value, feature.clip->min, feature.clip->max);
      out.features.push_back(value);
      const std::uint64_t back = count - 1 - j;
      std::string& name = out.feature_names[slot_index++];
      if (back < value_names_[m].size()) {
        name = value_names_[m][back];  // reuses the string's storage
      } else {
        name = value_name(feature.name, back);
      }
    }
  }
  return {};
}

std::expected<void, ObservationError> DefaultObservationSpace::observe(
    std::span<const MarketState> states) {
  if (states.empty()) return {};
  const MarketState& newest = states.back();
  const auto history = states.first(states.size() - 1);
  pending_.clear();
  for (const FeatureConfig& f : features_) {
    auto raw = extract_feature_value(f.source, newest, history);
    if (!raw) return std::unexpected(raw.error());
    pending_.push_back(*raw);
  }
  for (std::size_t m = 0; m < features_.size(); ++m) {
    normalizer_for(features_[m].normalizer).update_stats(stats_[m], pending_[m]);
  }
  return {};
}

void DefaultObservationSpace::reset_stats() {
  for (std::size_t m = 0; m < features_.size(); ++m) {
    normalizer_for(features_[m].normalizer).reset(stats_[m]);
  }
}

BoxSpec DefaultObservationSpace::observed_box(std::span<const MarketState> states) const {
  BoxSpec box{shape(), {}, {}, 0};
  for (const FeatureConfig& f : features_) {
    const Range range = normalized_range(f, states);
    box.low.insert(box.low.end(), window_, range.low);
    box.high.insert(box.high.end(), window_, range.high);
  }
  return box;
}

}  // namespace vesk::rl
