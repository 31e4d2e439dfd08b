#pragma once
#include <expected>
#include <span>
#include <string>

#include "rl/action/action.hpp"
#include "rl/action/portfolio_state.hpp"
#include "rl/reward/reward_error.hpp"

namespace vesk::rl {

// Scores one step from the account before and after the price move and the past returns
// (oldest first, not yet including this step).
class RewardFn {
 public:
  virtual ~RewardFn() = default;
  virtual std::expected<double, RewardError> calculate(const PortfolioState& previous,
                                                       const Action& action,
                                                       const PortfolioState& current,
                                                       std::span<const double> returns) const = 0;
  virtual std::string name() const = 0;
  virtual void reset() {}
};

}  // namespace vesk::rl
