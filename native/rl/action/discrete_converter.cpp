#include "rl/action/discrete_converter.hpp"

#include <cmath>
#include <fmt/format.h>
#include <limits>

namespace vesk::rl {

std::vector<bool> valid_mask(const DiscreteActionSpace& space, const PortfolioState& p) {
  const std::uint64_t b = space.n_quantity_bins;
  std::vector<bool> mask(space.n_actions, true);
  for (std::uint64_t i = 1; i < space.n_actions; ++i) {
    const bool buy = i <= b;
    switch (space.direction) {
      case Direction::LongOnly:
        if (!buy) mask[i] = p.position > 0;
        break;
      case Direction::ShortOnly:
        if (buy) mask[i] = p.position < 0;
        break;
      case Direction::Both:
        mask[i] = buy ? p.portfolio_value * (static_cast<double>(i) / static_cast<double>(b)) <= p.cash
                      : p.position != 0;
        break;
    }
  }
  return mask;
}

std::expected<DiscreteActionConverter, ActionError> DiscreteActionConverter::create(
    DiscreteActionSpace space, std::string symbol) {
  constexpr std::uint64_t max_bins = (std::numeric_limits<std::uint64_t>::max() - 1) / 2;
  if (space.n_quantity_bins > max_bins) {
    return std::unexpected(ActionError{ActionError::InvalidSpace{fmt::format(
        "n_quantity_bins {} is too large, at most {} are supported", space.n_quantity_bins,
        max_bins)}});
  }
  if (space.n_actions != 2 * space.n_quantity_bins + 1) {
    return std::unexpected(ActionError{ActionError::InvalidSpace{fmt::format(
        "a discrete space with {} quantity bins has {} actions, not {}", space.n_quantity_bins,
        2 * space.n_quantity_bins + 1, space.n_actions)}});
  }
  return DiscreteActionConverter(space, std::move(symbol));
}

std::expected<std::optional<TradeOrder>, ActionError> DiscreteActionConverter::to_order(
    const Action& action, const PortfolioState& p) const {
  const std::uint64_t n = space_.n_actions;
  const auto* discrete = std::get_if<Action::Discrete>(&action.kind);
  if (discrete == nullptr) {
    const double value = action.values.empty() ? 0.0 : action.values.front();
    return std::unexpected(ActionError{ActionError::OutOfRange{value, 0.0, static_cast<double>(n)}});
  }
  const std::uint64_t i = discrete->index;
  if (i >= n) return std::unexpected(ActionError{ActionError::InvalidIndex{i, n}});
  if (i == 0) return std::nullopt;
  const double b = static_cast<double>(space_.n_quantity_bins);
  if (i > space_.n_quantity_bins) {
    const double q = ((static_cast<double>(i) - b) / b) * std::fabs(p.position);
    if (q <= 0) return std::unexpected(ActionError{ActionError::NoPosition{p.position}});
    return TradeOrder{symbol_, q, TradeSide::Sell};
  }
  if (p.last_price <= 0) return std::nullopt;
  const double q = (static_cast<double>(i) / b) * p.portfolio_value / p.last_price;
  return TradeOrder{symbol_, q, TradeSide::Buy};
}

std::vector<bool> DiscreteActionConverter::mask(const PortfolioState& p) const {
  return valid_mask(space_, p);
}

}  // namespace vesk::rl
