#include "trading/mock_backend.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>

#include "core/clock.hpp"

namespace vesk::trading {
namespace {

constexpr int64_t kInitialAsOfMs = 1700000000000;

int64_t now_ms() { return static_cast<int64_t>(wall_clock_ms()); }

TradingError backend_error(std::string message) { return {TradingError::Backend{std::move(message)}}; }

// "BTC-USDT" -> ("BTC", "USDT"); without a "-" the quote is USDT.
std::pair<std::string, std::string> split_symbol(const std::string& symbol) {
  const size_t dash = symbol.find('-');
  if (dash == std::string::npos) return {symbol, "USDT"};
  return {symbol.substr(0, dash), symbol.substr(dash + 1)};
}

}  // namespace

MockTradingBackend::MockTradingBackend()
    : balance_{{{"USDT", 10000.0, 0.0}, {"BTC", 0.1, 0.0}}, kInitialAsOfMs},
      positions_{{"BTC-USDT", 0.1, 50000.0, 100.0, kInitialAsOfMs}} {}

std::optional<std::string> MockTradingBackend::injected(std::optional<std::string> FailureInjector::*which) const {
  std::lock_guard lock(failures_mutex_);
  return failures_.*which;
}

void MockTradingBackend::set_failures(FailureInjector failures) {
  std::lock_guard lock(failures_mutex_);
  failures_ = std::move(failures);
}

TradingResult<OrderAck> MockTradingBackend::place_order(const PlaceOrderArgs& req) {
  if (auto message = injected(&FailureInjector::place_order)) return std::unexpected(backend_error(*message));
  uint64_t n = 0;
  {
    std::lock_guard lock(sequence_mutex_);
    n = ++sequence_;
  }
  OrderAck ack{fmt::format("MOCK-{}", n), req.symbol, req.side, req.quantity, "Filled", now_ms(), std::nullopt};
  {
    std::lock_guard lock(orders_mutex_);
    orders_.push_back(ack);
  }
  const auto [base, quote] = split_symbol(req.symbol);
  const double s = req.side == OrderSide::Buy ? 1.0 : -1.0;
  const double p = req.price.value_or(kAssumedFillPrice);
  adjust_currency(quote, -s * (req.quantity * p));
  adjust_currency(base, s * req.quantity);
  move_position(req.symbol, s * req.quantity, p);
  return ack;
}

void MockTradingBackend::adjust_currency(const std::string& currency, double delta) {
  std::lock_guard lock(balance_mutex_);
  auto& lines = balance_.currencies;
  auto it = std::find_if(lines.begin(), lines.end(), [&](const CurrencyBalance& c) { return c.currency == currency; });
  if (it == lines.end()) lines.push_back({currency, delta, 0.0});
  else it->free += delta;
}

void MockTradingBackend::move_position(const std::string& symbol, double q, double price) {
  std::lock_guard lock(positions_mutex_);
  auto it = std::find_if(positions_.begin(), positions_.end(),
                         [&](const PositionSnapshot& p) { return p.symbol == symbol; });
  if (it == positions_.end()) {
    if (std::fabs(q) > kFlatTolerance) positions_.push_back({symbol, q, price, 0.0, now_ms()});
    return;
  }
  const double z = it->quantity;
  if (std::fabs(q + z) < kFlatTolerance) {
    std::erase_if(positions_, [&](const PositionSnapshot& p) { return p.symbol == symbol; });
    return;
  }
  // The entry price moves only when a long grows.
  if (q > 0 && z > 0) it->entry_price = (q * price + z * it->entry_price) / (q + z);
  it->quantity = q + z;
}

TradingResult<BalanceSnapshot> MockTradingBackend::get_balance() {
  if (auto message = injected(&FailureInjector::get_balance)) return std::unexpected(backend_error(*message));
  std::lock_guard lock(balance_mutex_);
  return balance_;
}

TradingResult<std::vector<PositionSnapshot>> MockTradingBackend::get_positions() {
  if (auto message = injected(&FailureInjector::get_positions)) return std::unexpected(backend_error(*message));
  std::lock_guard lock(positions_mutex_);
  return positions_;
}

TradingResult<OrderAck> MockTradingBackend::cancel_order(std::string_view order_id) {
  // Both locks are held together so that of two concurrent cancels exactly one records itself.
  std::lock_guard orders_lock(orders_mutex_);
  auto it = std::find_if(orders_.begin(), orders_.end(), [&](const OrderAck& a) { return a.order_id == order_id; });
  if (it == orders_.end()) return std::unexpected(backend_error(fmt::format("order {} not found", order_id)));
  std::lock_guard cancelled_lock(cancelled_mutex_);
  if (cancelled_.contains(it->order_id))
    return std::unexpected(backend_error(fmt::format("order {} already cancelled", order_id)));
  it->status = "Cancelled";
  it->timestamp_ms = now_ms();
  cancelled_.insert(it->order_id);
  return *it;
}

TradingResult<OrderAck> MockTradingBackend::replace_order(std::string_view order_id, const PlaceOrderArgs& new_req) {
  std::lock_guard lock(orders_mutex_);
  auto it = std::find_if(orders_.begin(), orders_.end(), [&](const OrderAck& a) { return a.order_id == order_id; });
  if (it == orders_.end()) return std::unexpected(backend_error(fmt::format("order {} not found", order_id)));
  if (it->symbol != new_req.symbol)
    return std::unexpected(
        backend_error(fmt::format("replace symbol mismatch: expected {}, got {}", it->symbol, new_req.symbol)));
  if (it->side != new_req.side)
    return std::unexpected(backend_error(fmt::format("replace side mismatch: expected {}, got {}",
                                                     side_label(it->side), side_label(new_req.side))));
  it->quantity = new_req.quantity;
  it->status = "Replaced";
  it->timestamp_ms = now_ms();
  return *it;
}

uint64_t MockTradingBackend::order_count() const {
  std::lock_guard lock(orders_mutex_);
  return orders_.size();
}

}  // namespace vesk::trading
