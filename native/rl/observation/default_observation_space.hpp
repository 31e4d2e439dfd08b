#pragma once
#include <expected>
#include <span>
#include <vector>

#include "rl/observation/feature.hpp"
#include "rl/observation/normalizer.hpp"
#include "rl/observation/observation_space.hpp"

namespace vesk::rl {

// Checks, in order: at least one feature, window > 0, unique names, usable clip bounds.
std::expected<void, ObservationError> validate_observation_space(
    std::span<const FeatureConfig> features, std::uint64_t window);

// Each feature contributes its `window` most recent values, grouped by feature.
class DefaultObservationSpace final : public ObservationSpace {
 public:
  static std::expected<DefaultObservationSpace, ObservationError> create(
      std::uint64_t window, std::vector<FeatureConfig> features);

  std::vector<std::uint64_t> shape() const override;
  std::vector<double> low() const override;
  std::vector<double> high() const override;
  BoxSpec gymnasium_box() const override;
  std::expected<void, ObservationError> build_into(const MarketState& current,
                                                   std::span<const MarketState> states,
                                                   Observation& out) const override;
  std::vector<std::string> feature_names() const override;
  std::size_t num_features() const override;
  std::expected<void, ObservationError> observe(std::span<const MarketState> states) override;
  void reset_stats() override;
  BoxSpec observed_box(std::span<const MarketState> states) const override;

  const std::vector<FeatureConfig>& features() const { return features_; }
  const std::vector<RunningStats>& stats() const { return stats_; }
  std::uint64_t window() const { return window_; }

 private:
  DefaultObservationSpace(std::uint64_t window, std::vector<FeatureConfig> features);

  std::vector<FeatureConfig> features_;
  std::vector<RunningStats> stats_;  // one per feature, same order
  std::uint64_t window_;
  // value_names_[m][s]: name of feature m's value s bars back ("close_t1"), made once.
  std::vector<std::vector<std::string>> value_names_;
  std::vector<double> pending_;  // raw values of one bar, fed only when all extracted
};

}  // namespace vesk::rl
