#include "trading/place_order_tool.hpp"

#include <fmt/format.h>

#include "core/log.hpp"
#include "trading/confirm_token.hpp"
#include "trading/types_json.hpp"

namespace vesk::trading {
namespace {

std::optional<std::string> confirm_token_of(const json::Value& extras) {
  const json::Value* token = extras.find("confirm_token");
  if (!token || !token->is_string()) return std::nullopt;
  return *token->if_string();
}

ToolError failed(std::string message) { return ToolError::execution_failed(std::move(message)); }

}  // namespace

PlaceOrderTool::PlaceOrderTool(std::shared_ptr<TradingBackend> backend, SafetyMode mode, RiskLimits limits,
                               std::shared_ptr<DailyCounter> daily)
    : limits_(std::move(limits)),
      backend_(std::move(backend)),
      daily_(std::move(daily)),
      gate_(std::make_shared<AlwaysOpenGate>()),
      mode_(mode) {}

int64_t PlaceOrderTool::now_ms() { return static_cast<int64_t>(wall_clock_ms()); }

ToolResult PlaceOrderTool::execute(std::string_view args) {
  const Start start = MonotonicClock::now();
  auto req = parse_place_order_args(args);
  if (!req) return std::unexpected(ToolError::invalid_args(fmt::format("JSON 解析失败: {}", req.error().message())));
  // Every call, a confirming one included, is checked on its own fields first.
  if (auto ok = check_risk(*req); !ok) return std::unexpected(std::move(ok.error()));
  switch (mode_) {
    case SafetyMode::DryRun: return dry_run(*req, start);
    case SafetyMode::TwoPhase:
      if (auto token = confirm_token_of(req->extras)) return confirm(*token, start);
      return park(*req);
    case SafetyMode::Direct: break;
  }
  if (auto ok = check_daily_and_gate(); !ok) return std::unexpected(std::move(ok.error()));
  return send(*req, start);
}

// Against positions fetched now, so the check sees every fill made before this moment.
std::expected<void, ToolError> PlaceOrderTool::check_risk(const PlaceOrderArgs& req) {
  auto positions = backend_->get_positions();
  if (!positions) return std::unexpected(failed(fmt::format("position fetch failed: {}", positions.error().message())));
  auto checked = limits_.check(req, *positions, backend_->expected_fill_price(req));
  if (checked) return {};
  const std::string displayed = checked.error().message();
  record_risk_block_metric(displayed);
  record_breaker_rejection();
  return std::unexpected(failed(displayed));
}

std::expected<void, ToolError> PlaceOrderTool::check_daily_and_gate() {
  if (limits_.max_daily_orders) {
    auto counted = daily_->increment_and_check(*limits_.max_daily_orders);
    if (!counted) {
      const ToolError error = failed(counted.error().message());
      record_risk_block_metric(TradingError{TradingError::RiskRejected{error.message()}}.message());
      record_breaker_rejection();
      return std::unexpected(error);
    }
  }
  if (metrics_) metrics_->set_daily_orders_count(static_cast<double>(daily_->today_count()));
  if (auto reason = gate_->is_blocked()) {
    if (metrics_) metrics_->record_gate_block(mode_label(mode_));
    return std::unexpected(failed(fmt::format("gate blocked: {}", *reason)));
  }
  return {};
}

ToolResult PlaceOrderTool::dry_run(const PlaceOrderArgs& req, Start start) {
  if (log::enabled(log::Level::Info, "trading")) {
    const log::Field fields[] = {{"args", json::to_json(req)}};
    log::write(log::Level::Info, "trading", "[DRY-RUN] place_order would be sent", fields);
  }
  const OrderAck ack{"DRY-RUN", req.symbol, req.side, req.quantity, "DryRun", now_ms(), std::nullopt};
  record_order_metric(ack.symbol, ack.side, ack.status, start);
  reset_breaker();
  return json::to_json(ack);
}

ToolResult PlaceOrderTool::park(const PlaceOrderArgs& req) {
  std::string token = new_confirm_token();
  {
    std::lock_guard lock(pending_mutex_);
    pending_.insert_or_assign(token, PendingOrder{req, token});
  }
  const OrderAck ack{"PENDING", req.symbol, req.side, req.quantity, "Pending", now_ms(), std::move(token)};
  reset_breaker();
  return json::to_json(ack);
}

// What is sent is the parked request, so the limits are also checked on it, against the
// positions of now, before anything is counted; a refusal leaves the order parked. An unknown
// token is only reported after the daily check and the gate, so it costs a daily slot like any
// other attempt to send. Only a successful removal below commits the token.
ToolResult PlaceOrderTool::confirm(const std::string& token, Start start) {
  const std::optional<PlaceOrderArgs> stored = find_pending(token);
  if (stored)
    if (auto ok = check_risk(*stored); !ok) return std::unexpected(std::move(ok.error()));
  if (auto ok = check_daily_and_gate(); !ok) return std::unexpected(std::move(ok.error()));
  // Unknown, or a concurrent confirmation took it first.
  if (!stored || !take_pending(token))
    return std::unexpected(failed(TradingError{TradingError::PendingNotFound{token}}.message()));
  return send(*stored, start);
}

ToolResult PlaceOrderTool::send(const PlaceOrderArgs& req, Start start) {
  auto ack = backend_->place_order(req);
  if (!ack) {
    record_order_metric(req.symbol, req.side, "Error", start);
    return std::unexpected(failed(ack.error().message()));
  }
  std::string text = json::to_json(*ack);
  record_order_metric(ack->symbol, ack->side, ack->status, start);
  reset_breaker();
  return text;
}

std::optional<PlaceOrderArgs> PlaceOrderTool::find_pending(const std::string& token) const {
  std::lock_guard lock(pending_mutex_);
  auto it = pending_.find(token);
  if (it == pending_.end()) return std::nullopt;
  return it->second.args;
}

bool PlaceOrderTool::take_pending(const std::string& token) {
  std::lock_guard lock(pending_mutex_);
  return pending_.erase(token) == 1;
}

void PlaceOrderTool::record_risk_block_metric(std::string_view displayed_error) {
  if (metrics_) metrics_->record_risk_block(classify_rejection(displayed_error), mode_label(mode_));
}

void PlaceOrderTool::record_order_metric(std::string_view symbol, OrderSide side, std::string_view status,
                                         Start start) {
  if (!metrics_) return;
  const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(MonotonicClock::now() - start).count();
  metrics_->record_order(symbol, side_label(side), status, mode_label(mode_),
                         elapsed > 0 ? static_cast<uint64_t>(elapsed) : 0);
}

void PlaceOrderTool::record_breaker_rejection() {
  if (breaker_) breaker_->record_rejection(now_ms());
}

void PlaceOrderTool::reset_breaker() {
  if (breaker_) breaker_->reset();
}

}  // namespace vesk::trading
