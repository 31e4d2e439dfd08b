#pragma once
#include <string>

#include "rl/action/action_converter.hpp"

namespace vesk::rl {

// Which entries of the discrete menu the account allows, by the space's direction.
std::vector<bool> valid_mask(const DiscreteActionSpace& space, const PortfolioState& portfolio);

class DiscreteActionConverter final : public ActionConverter {
 public:
  // Refuses a space whose action count is not 2 * bins + 1 (or would not fit in 64 bits).
  static std::expected<DiscreteActionConverter, ActionError> create(DiscreteActionSpace space,
                                                                    std::string symbol);

  std::expected<std::optional<TradeOrder>, ActionError> to_order(
      const Action& action, const PortfolioState& portfolio) const override;
  std::vector<bool> mask(const PortfolioState& portfolio) const override;
  ActionSpace action_space() const override { return {space_}; }

 private:
  DiscreteActionConverter(DiscreteActionSpace space, std::string symbol)
      : symbol_(std::move(symbol)), space_(space) {}

  std::string symbol_;
  DiscreteActionSpace space_;
};

}  // namespace vesk::rl
