#pragma once
#include "rl/reward/reward_fn.hpp"

namespace vesk::rl {

// Change in account value, optionally relative to `base_value` (or the previous value).
class PnLReward final : public RewardFn {
 public:
  PnLReward(double scale, double base_value, bool relative)
      : scale_(scale), base_value_(base_value), relative_(relative) {}

  std::expected<double, RewardError> calculate(const PortfolioState& previous, const Action& action,
                                               const PortfolioState& current,
                                               std::span<const double> returns) const override;
  std::string name() const override { return relative_ ? "relative_pnl" : "absolute_pnl"; }

 private:
  double scale_;
  double base_value_;
  bool relative_;
};

}  // namespace vesk::rl
