#include "rl/reward/sharpe_reward.hpp"

#include <algorithm>
#include <cmath>

#include "rl/clamp.hpp"

namespace vesk::rl {
namespace {

constexpr double kSqrtTradingDays = 15.874507866387544;  // sqrt(252)

// Sum of f(x) over `past` followed by `present`, left to right.
template <class F>
double sum_over(std::span<const double> past, double present, F f) {
  double sum = 0.0;
  for (double x : past) sum += f(x);
  return sum + f(present);
}

}  // namespace

// Ratio over the kept series; absent for a Sortino ratio with no return below the risk-free rate.
std::optional<double> SharpeReward::ratio(std::span<const double> past, double present) const {
  const double n = static_cast<double>(past.size() + 1);
  const double mean = sum_over(past, present, [](double x) { return x; }) / n;
  const double rf = risk_free_rate_ / 252.0;
  if (!sortino_) {
    const double var = sum_over(past, present, [&](double x) { return (x - mean) * (x - mean); }) /
                       std::max(n - 1, 1.0);
    return std::isfinite(var) && var > 0 ? (mean - rf) / std::sqrt(var) : 0.0;
  }
  const auto below = [&](double x) { return x < rf ? 1.0 : 0.0; };
  if (sum_over(past, present, below) == 0) return std::nullopt;
  const double dd =
      sum_over(past, present, [&](double x) { return x < rf ? (x - rf) * (x - rf) : 0.0; }) / n;
  return std::isfinite(dd) && dd > 0 ? (mean - rf) / std::sqrt(dd) : 0.0;
}

std::expected<double, RewardError> SharpeReward::calculate(const PortfolioState& previous,
                                                           const Action&,
                                                           const PortfolioState& current,
                                                           std::span<const double> returns) const {
  const double p = previous.portfolio_value;
  const double v = current.portfolio_value;
  const double r = p == 0 ? 0.0 : (v - p) / p;
  if (returns.size() < 2) {
    // Too little history for a ratio: the clipped absolute PnL stands in.
    const double pnl = clamp_to((v - p) * scale_, -clip_, clip_);
    if (std::isnan(pnl)) return std::unexpected(RewardError{RewardError::NonFinite{pnl}});
    return pnl;
  }
  if (window_ == 0) {
    if (sortino_) return clip_ * scale_;
    return 0.0;
  }
  const std::size_t past_kept = std::min<std::uint64_t>(window_ - 1, returns.size());
  const std::optional<double> ratio_value = ratio(returns.last(past_kept), r);
  if (!ratio_value) return clip_ * scale_;
  const double annualised = *ratio_value * kSqrtTradingDays * scale_;
  if (!std::isfinite(annualised)) {
    return std::unexpected(RewardError{RewardError::NonFinite{annualised}});
  }
  return clamp_to(annualised, -clip_, clip_);
}

}  // namespace vesk::rl
