#pragma once
#include <span>
#include <string>
#include <vector>

#include "rl/action/action.hpp"
#include "rl/action/portfolio_state.hpp"
#include "rl/env/env_types.hpp"

namespace vesk::rl {

struct ExecutionResult {
  std::string symbol;
  double quantity = 0.0;  // filled quantity, 0.0 when not filled
  double fill_price = 0.0;
  double cost = 0.0;  // fee charged, 0.0 when not filled
  TradeSide side = TradeSide::Buy;
  bool filled = false;
};

// Fills orders at a bar's close with slippage and a proportional fee. Long only: a sale larger
// than the position is never filled. Changes position, cash, cost_basis and realized_pnl.
class Executor {
 public:
  explicit Executor(EnvConfig config) : config_(std::move(config)) {}

  std::vector<ExecutionResult> execute(std::span<const TradeOrder> orders, const MarketBar& bar,
                                       PortfolioState& portfolio) const;
  ExecutionResult execute_one(const TradeOrder& order, double close,
                              PortfolioState& portfolio) const;

 private:
  void sell(double q, double price, PortfolioState& p, ExecutionResult& result) const;
  void buy(double q, double price, PortfolioState& p, ExecutionResult& result) const;

  EnvConfig config_;
};

}  // namespace vesk::rl
