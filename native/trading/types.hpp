#pragma once
// The records that tools take and return. Plain values; copies are deep.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/json/value.hpp"

namespace vesk::trading {

enum class OrderSide { Buy, Sell };
enum class OrderKind { Limit, Market };
enum class TimeInForce { GTC, IOC, FOK };

std::string_view side_label(OrderSide side);  // "Buy" / "Sell"

struct PlaceOrderArgs {
  std::string symbol;                    // e.g. "BTC-USDT"
  OrderSide side = OrderSide::Buy;       // required on reading
  double quantity = 0.0;                 // required on reading; finite and > 0
  OrderKind order_type = OrderKind::Limit;
  std::optional<double> price;           // when present, finite and > 0
  std::optional<double> stop_loss;
  std::optional<double> take_profit;
  TimeInForce time_in_force = TimeInForce::GTC;
  json::Value extras;                    // free-form; "confirm_token" is read from it in two-phase mode
};

struct CancelOrderArgs {
  std::string order_id;
};

struct ReplaceOrderArgs {
  std::string order_id;
  PlaceOrderArgs new_req;
};

struct QueryPortfolioArgs {
  std::optional<std::string> symbol;  // absent: every position
};

struct OrderAck {
  std::string order_id;
  std::string symbol;
  OrderSide side = OrderSide::Buy;
  double quantity = 0.0;
  std::string status;  // "Filled", "Cancelled", "Replaced", "DryRun", "Pending"
  int64_t timestamp_ms = 0;
  std::optional<std::string> confirm_token;  // only on a two-phase "Pending" ack
};

struct CurrencyBalance {
  std::string currency;
  double free = 0.0;
  double locked = 0.0;
};

struct BalanceSnapshot {
  std::vector<CurrencyBalance> currencies;
  int64_t as_of_ms = 0;
};

struct PositionSnapshot {
  std::string symbol;
  double quantity = 0.0;  // negative is short
  double entry_price = 0.0;
  double unrealized_pnl = 0.0;
  int64_t as_of_ms = 0;
};

struct PortfolioSnapshot {
  BalanceSnapshot balance;
  std::vector<PositionSnapshot> positions;
};

}  // namespace vesk::trading
