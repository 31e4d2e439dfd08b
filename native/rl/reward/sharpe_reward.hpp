#pragma once
#include <cstdint>
#include <optional>

#include "rl/reward/reward_fn.hpp"

namespace vesk::rl {

// Rolling annualised Sharpe (or Sortino) ratio of the per-step returns, clamped to ±clip.
class SharpeReward final : public RewardFn {
 public:
  SharpeReward(std::uint64_t window, double risk_free_rate, double scale, double clip, bool sortino)
      : window_(window), risk_free_rate_(risk_free_rate), scale_(scale), clip_(clip),
        sortino_(sortino) {}

  std::expected<double, RewardError> calculate(const PortfolioState& previous, const Action& action,
                                               const PortfolioState& current,
                                               std::span<const double> returns) const override;
  std::string name() const override { return sortino_ ? "sortino" : "sharpe"; }

 private:
  std::optional<double> ratio(std::span<const double> past, double present) const;

  std::uint64_t window_;
  double risk_free_rate_;  // annual
  double scale_;
  double clip_;
  bool sortino_;
};

}  // namespace vesk::rl
