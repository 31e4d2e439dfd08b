#pragma once
#include <expected>
#include <optional>
#include <vector>

#include "rl/action/action.hpp"
#include "rl/action/action_error.hpp"
#include "rl/action/portfolio_state.hpp"

namespace vesk::rl {

// Turns an agent's action into at most one order; an absent order means hold.
class ActionConverter {
 public:
  virtual ~ActionConverter() = default;
  virtual std::expected<std::optional<TradeOrder>, ActionError> to_order(
      const Action& action, const PortfolioState& portfolio) const = 0;
  // Which actions make sense now; offered to agents, never consulted by the converters.
  virtual std::vector<bool> mask(const PortfolioState& portfolio) const = 0;
  virtual ActionSpace action_space() const = 0;
};

}  // namespace vesk::rl
