#include "trading/cancel_order_tool.hpp"

#include <fmt/format.h>

#include "trading/types_json.hpp"

namespace vesk::trading {
namespace {

constexpr std::string_view kMode = "direct";

}  // namespace

CancelOrderTool::CancelOrderTool(std::shared_ptr<TradingBackend> backend, RiskLimits limits,
                                 std::shared_ptr<DailyCounter> daily)
    : limits_(std::move(limits)), backend_(std::move(backend)), daily_(std::move(daily)) {}

ToolResult CancelOrderTool::execute(std::string_view args) {
  auto decoded = json::from_text<CancelOrderArgs>(args);
  if (!decoded) return std::unexpected(ToolError::invalid_args(decoded.error().message()));

  if (limits_.max_daily_cancels) {
    // Counted before the backend is asked, so refused cancels use up the ceiling too.
    auto counted = daily_->increment_and_check(*limits_.max_daily_cancels);
    if (!counted) {
      if (metrics_) metrics_->record_risk_block(RiskRule::MaxDailyCancels, kMode);
      return std::unexpected(
          ToolError::execution_failed(fmt::format("risk check failed: {}", counted.error().message())));
    }
  }

  auto ack = backend_->cancel_order(decoded->order_id);
  if (!ack) {
    if (metrics_) metrics_->record_cancel("Error", kMode);
    return std::unexpected(
        ToolError::execution_failed(fmt::format("backend cancel failed: {}", ack.error().message())));
  }
  if (metrics_) metrics_->record_cancel(ack->status, kMode);
  return json::to_json(*ack);
}

}  // namespace vesk::trading
