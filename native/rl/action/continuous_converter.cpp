#include "rl/action/continuous_converter.hpp"

#include <cmath>
#include <fmt/format.h>

#include "core/number_format.hpp"
#include "rl/clamp.hpp"

namespace vesk::rl {

std::expected<ContinuousActionConverter, ActionError> ContinuousActionConverter::create(
    ContinuousActionSpace space, std::string symbol) {
  if (std::isnan(space.low) || std::isnan(space.high) || space.low > space.high) {
    return std::unexpected(ActionError{ActionError::InvalidSpace{fmt::format(
        "continuous action bounds must be numbers with min <= max, got min {} and max {}",
        display_number(space.low), display_number(space.high))}});
  }
  return ContinuousActionConverter(std::move(space), std::move(symbol));
}

std::expected<std::optional<TradeOrder>, ActionError> ContinuousActionConverter::to_order(
    const Action& action, const PortfolioState& p) const {
  const auto* continuous = std::get_if<Action::Continuous>(&action.kind);
  if (continuous == nullptr || continuous->values.empty()) {
    const double value = action.values.empty() ? 0.0 : action.values.front();
    return std::unexpected(ActionError{ActionError::OutOfRange{value, space_.low, space_.high}});
  }
  const double target = clamp_to(continuous->values.front(), space_.low, space_.high);
  if (p.portfolio_value <= 0 || p.last_price <= 0) return std::nullopt;
  const double current = p.last_price * p.position / p.portfolio_value;
  if (std::fabs(target - current) < kRebalanceThreshold) return std::nullopt;
  const double delta = target * p.portfolio_value / p.last_price - p.position;
  if (delta == 0) return std::nullopt;
  const TradeSide side = target - current > 0 ? TradeSide::Buy : TradeSide::Sell;
  return TradeOrder{symbol_, std::fabs(delta), side};
}

}  // namespace vesk::rl
