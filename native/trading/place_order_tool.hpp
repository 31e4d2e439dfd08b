#pragma once
// The guarded way for an agent to open orders: positions are fetched and the static limits
// applied on every call, then the safety mode decides whether the order is only described
// (dry_run), parked until confirmed with a token (two_phase) or sent (direct). Sending also
// passes the tool's daily ceiling and the gate.
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "core/clock.hpp"
#include "trading/backend.hpp"
#include "trading/daily_counter.hpp"
#include "trading/metrics.hpp"
#include "trading/order_breaker.hpp"
#include "trading/risk_gate.hpp"
#include "trading/risk_limits.hpp"
#include "trading/safety_mode.hpp"
#include "trading/tool.hpp"

namespace vesk::trading {

struct PendingOrder {
  PlaceOrderArgs args;  // the request of the first phase: what confirmation sends
  std::string token;
};

class PlaceOrderTool final : public Tool {
 public:
  PlaceOrderTool(std::shared_ptr<TradingBackend> backend, SafetyMode mode, RiskLimits limits,
                 std::shared_ptr<DailyCounter> daily);

  // Attach before the tool is shared between threads.
  void attach_metrics(std::shared_ptr<TradingMetrics> metrics) { metrics_ = std::move(metrics); }
  void attach_breaker(std::shared_ptr<OrderBreaker> breaker) { breaker_ = std::move(breaker); }
  void replace_gate(std::shared_ptr<RiskGate> gate) { gate_ = std::move(gate); }

  SafetyMode mode() const { return mode_; }
  ToolResult execute(std::string_view args) override;

  static int64_t now_ms();

 private:
  using Start = MonotonicClock::time_point;

  std::expected<void, ToolError> check_risk(const PlaceOrderArgs& req);
  std::expected<void, ToolError> check_daily_and_gate();
  ToolResult dry_run(const PlaceOrderArgs& req, Start start);
  ToolResult park(const PlaceOrderArgs& req);
  ToolResult confirm(const std::string& token, Start start);
  ToolResult send(const PlaceOrderArgs& req, Start start);

  std::optional<PlaceOrderArgs> find_pending(const std::string& token) const;
  bool take_pending(const std::string& token);

  void record_risk_block_metric(std::string_view displayed_error);
  void record_order_metric(std::string_view symbol, OrderSide side, std::string_view status, Start start);
  void record_breaker_rejection();
  void reset_breaker();

  RiskLimits limits_;
  std::shared_ptr<TradingBackend> backend_;
  std::shared_ptr<DailyCounter> daily_;
  std::shared_ptr<RiskGate> gate_;
  mutable std::mutex pending_mutex_;
  std::map<std::string, PendingOrder, std::less<>> pending_;  // guarded by pending_mutex_; by token
  std::shared_ptr<TradingMetrics> metrics_;   // optional
  std::shared_ptr<OrderBreaker> breaker_;     // optional
  SafetyMode mode_;
};

}  // namespace vesk::trading
