#include "trading/risk_limits.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

#include "core/number_format.hpp"
#include "core/quote.hpp"

namespace vesk::trading {
namespace {

TradingError rejected(std::string message) { return {TradingError::RiskRejected{std::move(message)}}; }

double signed_quantity(const PlaceOrderArgs& req) { return req.side == OrderSide::Buy ? req.quantity : -req.quantity; }

}  // namespace

std::string symbol_list_text(const std::vector<std::string>& symbols) {
  std::string out = "[";
  for (size_t i = 0; i < symbols.size(); ++i) {
    if (i > 0) out += ", ";
    out += quoted(symbols[i]);
  }
  return out + "]";
}

TradingResult<void> RiskLimits::check(const PlaceOrderArgs& req, std::span<const PositionSnapshot> positions,
                                      std::optional<double> fill_price) const {
  if (allowed_symbols && std::ranges::find(*allowed_symbols, req.symbol) == allowed_symbols->end())
    return std::unexpected(
        rejected(fmt::format("symbol '{}' 不在白名单 {} 中", req.symbol, symbol_list_text(*allowed_symbols))));

  if (max_order_notional) {
    // Leaving out the price must not slip past the limit: take the price it would fill at.
    const std::optional<double> price = req.price ? req.price : fill_price;
    if (!price)
      return std::unexpected(rejected(fmt::format("单笔金额 无法估算 (订单没有价格, 后端也无法给出成交价), 限额 {}",
                                                  fixed_number(*max_order_notional, 2))));
    const double notional = *price * req.quantity;
    if (notional > *max_order_notional)
      return std::unexpected(rejected(fmt::format("单笔金额 {} 超过限额 {}", fixed_number(notional, 2),
                                                  fixed_number(*max_order_notional, 2))));
  }

  if (max_position_abs) {
    double current = 0.0;
    for (const auto& p : positions)
      if (p.symbol == req.symbol) current += p.quantity;
    const double after = std::fabs(current + signed_quantity(req));
    if (after > *max_position_abs)
      return std::unexpected(rejected(fmt::format("下单后持仓 {} 超过限额 {}", fixed_number(after, 4),
                                                  fixed_number(*max_position_abs, 4))));
  }
  return {};
}

}  // namespace vesk::trading
