#include "rl/env/executor.hpp"

#include <algorithm>
#include <cmath>

namespace vesk::rl {
namespace {
// Lets a sale of the whole position through despite rounding in the quantity.
constexpr double kQuantityTolerance = 1e-9;
}  // namespace

std::vector<ExecutionResult> Executor::execute(std::span<const TradeOrder> orders,
                                               const MarketBar& bar,
                                               PortfolioState& portfolio) const {
  std::vector<ExecutionResult> results;
  results.reserve(orders.size());
  for (const TradeOrder& order : orders) results.push_back(execute_one(order, bar.close, portfolio));
  return results;
}

ExecutionResult Executor::execute_one(const TradeOrder& order, double close,
                                      PortfolioState& portfolio) const {
  ExecutionResult result{order.symbol, 0.0, close, 0.0, order.side, false};
  const double q = order.quantity;
  if (!std::isfinite(q) || q <= 0) return result;
  if (order.side == TradeSide::Sell) {
    sell(q, close * (1 - config_.slippage), portfolio, result);
  } else {
    buy(q, close * (1 + config_.slippage), portfolio, result);
  }
  return result;
}

void Executor::sell(double q, double price, PortfolioState& p, ExecutionResult& result) const {
  result.fill_price = price;
  const double proceeds = price * q;
  if (!(proceeds > 0) || p.position < q - kQuantityTolerance) return;
  const double fee = config_.transaction_cost * proceeds;
  // Average cost: the units sold take their share of the basis with them.
  const double share = p.position > 0 ? std::min(q / p.position, 1.0) : 1.0;
  const double basis_sold = p.cost_basis * share;
  p.cash += proceeds - fee;
  p.position -= q;
  p.cost_basis -= basis_sold;
  p.realized_pnl += (proceeds - fee) - basis_sold;
  result.quantity = q;
  result.cost = fee;
  result.filled = true;
}

void Executor::buy(double q, double price, PortfolioState& p, ExecutionResult& result) const {
  result.fill_price = price;
  const double notional = price * q;
  if (!(notional > 0)) return;
  const double fee = config_.transaction_cost * notional;
  if (!(notional + fee <= p.cash + kQuantityTolerance)) return;
  p.cash -= notional + fee;
  p.position += q;
  p.cost_basis += notional + fee;
  result.quantity = q;
  result.cost = fee;
  result.filled = true;
}

}  // namespace vesk::rl
