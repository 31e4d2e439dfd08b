#pragma once
#include <expected>
#include <memory>
#include <optional>
#include <string>

#include "rl/action/action_converter.hpp"

namespace vesk::rl {

// Owns the converter of an environment and passes on conversion failures as their text.
class ActionDecoder {
 public:
  static std::expected<ActionDecoder, ActionError> new_discrete(DiscreteActionSpace space,
                                                                std::string symbol);
  static std::expected<ActionDecoder, ActionError> new_continuous(ContinuousActionSpace space,
                                                                  std::string symbol);

  // An absent order means hold; a failure carries the ActionError's display text.
  std::expected<std::optional<TradeOrder>, std::string> decode(
      const Action& action, const PortfolioState& portfolio) const;
  const ActionConverter& converter() const { return *converter_; }

 private:
  explicit ActionDecoder(std::unique_ptr<ActionConverter> converter)
      : converter_(std::move(converter)) {}

  std::unique_ptr<ActionConverter> converter_;
};

}  // namespace vesk::rl
