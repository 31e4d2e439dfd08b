#pragma once
// The component that executes orders. Shared by several tools, so implementations must be
// safe to call from several threads. Calls complete on the calling thread.
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trading/trading_error.hpp"
#include "trading/types.hpp"

namespace vesk::trading {

template <class T>
using TradingResult = std::expected<T, TradingError>;

class TradingBackend {
 public:
  virtual ~TradingBackend() = default;

  virtual std::string name() const = 0;
  virtual TradingResult<OrderAck> place_order(const PlaceOrderArgs& req) = 0;
  virtual TradingResult<BalanceSnapshot> get_balance() = 0;
  virtual TradingResult<std::vector<PositionSnapshot>> get_positions() = 0;
  // Balance and positions together; the balance error wins when both fail.
  virtual TradingResult<PortfolioSnapshot> get_portfolio();
  virtual TradingResult<OrderAck> cancel_order(std::string_view order_id) = 0;
  virtual TradingResult<OrderAck> replace_order(std::string_view order_id, const PlaceOrderArgs& new_req) = 0;

  // The price the order would fill at, so that a request without a price can still be held to
  // a notional limit; nullopt when the backend cannot tell. By default only the request's own.
  virtual std::optional<double> expected_fill_price(const PlaceOrderArgs& req) const { return req.price; }
};

}  // namespace vesk::trading
