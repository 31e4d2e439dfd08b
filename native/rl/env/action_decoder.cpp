#include "rl/env/action_decoder.hpp"

#include "rl/action/continuous_converter.hpp"
#include "rl/action/discrete_converter.hpp"

namespace vesk::rl {

std::expected<ActionDecoder, ActionError> ActionDecoder::new_discrete(DiscreteActionSpace space,
                                                                      std::string symbol) {
  auto converter = DiscreteActionConverter::create(space, std::move(symbol));
  if (!converter) return std::unexpected(converter.error());
  return ActionDecoder(std::make_unique<DiscreteActionConverter>(std::move(*converter)));
}

std::expected<ActionDecoder, ActionError> ActionDecoder::new_continuous(
    ContinuousActionSpace space, std::string symbol) {
  auto converter = ContinuousActionConverter::create(std::move(space), std::move(symbol));
  if (!converter) return std::unexpected(converter.error());
  return ActionDecoder(std::make_unique<ContinuousActionConverter>(std::move(*converter)));
}

std::expected<std::optional<TradeOrder>, std::string> ActionDecoder::decode(
    const Action& action, const PortfolioState& portfolio) const {
  auto order = converter_->to_order(action, portfolio);
  if (!order) return std::unexpected(order.error().message());
  return *order;
}

}  // namespace vesk::rl
