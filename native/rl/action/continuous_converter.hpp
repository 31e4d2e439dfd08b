#pragma once
#include <string>

#include "rl/action/action_converter.hpp"

namespace vesk::rl {

// The action is a target weight: the fraction of the account to hold in the instrument.
class ContinuousActionConverter final : public ActionConverter {
 public:
  static constexpr double kRebalanceThreshold = 0.01;

  // Refuses NaN bounds and a `low` above `high`: the target could not be clamped.
  static std::expected<ContinuousActionConverter, ActionError> create(ContinuousActionSpace space,
                                                                      std::string symbol);

  std::expected<std::optional<TradeOrder>, ActionError> to_order(
      const Action& action, const PortfolioState& portfolio) const override;
  std::vector<bool> mask(const PortfolioState&) const override { return {true}; }
  ActionSpace action_space() const override { return {space_}; }

 private:
  ContinuousActionConverter(ContinuousActionSpace space, std::string symbol)
      : symbol_(std::move(symbol)), space_(std::move(space)) {}

  std::string symbol_;
  ContinuousActionSpace space_;
};

}  // namespace vesk::rl
