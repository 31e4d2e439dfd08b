#pragma once
// Static limits tested against a request before it is sent. Absent limits are not applied.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "trading/backend.hpp"
#include "trading/types.hpp"

namespace vesk::trading {

struct RiskLimits {
  std::optional<double> max_order_notional;               // price x quantity of one order
  std::optional<uint32_t> max_daily_orders;               // orders sent per day by one place tool
  std::optional<uint32_t> max_daily_cancels;              // cancels per day by one cancel tool
  std::optional<double> max_position_abs;                 // |position| in the symbol after the order
  std::optional<std::vector<std::string>> allowed_symbols;  // whitelist; empty refuses everything

  // Whitelist, then notional, then position; the first failing rule decides. `fill_price` is
  // the price the notional is taken at when the request has none (see expected_fill_price).
  TradingResult<void> check(const PlaceOrderArgs& req, std::span<const PositionSnapshot> positions,
                            std::optional<double> fill_price) const;
};

// ["A", "B"]: each entry double-quoted and escaped, as symbols appear in messages.
std::string symbol_list_text(const std::vector<std::string>& symbols);

}  // namespace vesk::trading
