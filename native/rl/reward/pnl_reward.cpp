#include "rl/reward/pnl_reward.hpp"

#include <cmath>

namespace vesk::rl {

std::expected<double, RewardError> PnLReward::calculate(const PortfolioState& previous,
                                                        const Action&,
                                                        const PortfolioState& current,
                                                        std::span<const double>) const {
  const double p = previous.portfolio_value;
  double d = current.portfolio_value - p;
  if (relative_) {
    const double divisor = base_value_ > 0 ? base_value_ : p;
    if (!(divisor > 0)) return std::unexpected(RewardError{RewardError::DivisionByZero{}});
    d /= divisor;
  }
  const double reward = d * scale_;
  if (!std::isfinite(reward)) return std::unexpected(RewardError{RewardError::NonFinite{reward}});
  return reward;
}

}  // namespace vesk::rl
