#pragma once
// In-memory backend: fills every order at once against a demonstration book.
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "trading/backend.hpp"

namespace vesk::trading {

// Fault injection for tests: while a message is set, that operation fails with it.
struct FailureInjector {
  std::optional<std::string> place_order;
  std::optional<std::string> get_balance;
  std::optional<std::string> get_positions;
};

class MockTradingBackend final : public TradingBackend {
 public:
  static constexpr double kAssumedFillPrice = 50000.0;  // for requests without a price
  static constexpr double kFlatTolerance = 2.220446049250313e-16;

  MockTradingBackend();

  std::string name() const override { return "mock"; }
  TradingResult<OrderAck> place_order(const PlaceOrderArgs& req) override;
  TradingResult<BalanceSnapshot> get_balance() override;
  TradingResult<std::vector<PositionSnapshot>> get_positions() override;
  TradingResult<OrderAck> cancel_order(std::string_view order_id) override;
  TradingResult<OrderAck> replace_order(std::string_view order_id, const PlaceOrderArgs& new_req) override;
  std::optional<double> expected_fill_price(const PlaceOrderArgs& req) const override {
    return req.price.value_or(kAssumedFillPrice);
  }

  uint64_t order_count() const;
  void set_failures(FailureInjector failures);

 private:
  std::optional<std::string> injected(std::optional<std::string> FailureInjector::*which) const;
  void adjust_currency(const std::string& currency, double delta);
  void move_position(const std::string& symbol, double signed_quantity, double price);

  mutable std::mutex orders_mutex_;
  std::vector<OrderAck> orders_;  // guarded by orders_mutex_; in issue order

  std::mutex balance_mutex_;
  BalanceSnapshot balance_;  // guarded by balance_mutex_

  std::mutex positions_mutex_;
  std::vector<PositionSnapshot> positions_;  // guarded by positions_mutex_

  std::mutex sequence_mutex_;
  uint64_t sequence_ = 0;  // guarded by sequence_mutex_; last order number issued

  std::mutex cancelled_mutex_;    // taken only while orders_mutex_ is held
  std::set<std::string> cancelled_;  // guarded by cancelled_mutex_

  mutable std::mutex failures_mutex_;
  FailureInjector failures_;  // guarded by failures_mutex_
};

}  // namespace vesk::trading
