#pragma once

namespace vesk::rl {

// The environment's account: read by the converters, updated by the executor.
struct PortfolioState {
  double position = 0.0;         // units held
  double cash = 0.0;
  double portfolio_value = 0.0;  // cash + position * last_price, as last recomputed
  double cost_basis = 0.0;       // average cost of the units held, fees included
  double realized_pnl = 0.0;     // net proceeds of sales less the cost of the units sold
  double unrealized_pnl = 0.0;   // position * price - cost_basis
  double last_price = 0.0;       // the most recent close the environment moved to
};

}  // namespace vesk::rl
