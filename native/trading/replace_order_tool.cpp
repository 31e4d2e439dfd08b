#include "trading/replace_order_tool.hpp"

#include <fmt/format.h>

#include "trading/types_json.hpp"

namespace vesk::trading {
namespace {

constexpr std::string_view kMode = "direct";

}  // namespace

ReplaceOrderTool::ReplaceOrderTool(std::shared_ptr<TradingBackend> backend, RiskLimits limits)
    : limits_(std::move(limits)), backend_(std::move(backend)) {}

ToolResult ReplaceOrderTool::execute(std::string_view args) {
  auto decoded = json::from_text<ReplaceOrderArgs>(args);
  if (!decoded) return std::unexpected(ToolError::invalid_args(decoded.error().message()));
  const PlaceOrderArgs& new_req = decoded->new_req;

  auto positions = backend_->get_positions();
  if (!positions)
    return std::unexpected(
        ToolError::execution_failed(fmt::format("position fetch failed: {}", positions.error().message())));

  // The whole new quantity is added to the current position, as for a new order.
  if (auto checked = limits_.check(new_req, *positions, backend_->expected_fill_price(new_req)); !checked) {
    const std::string displayed = checked.error().message();
    if (metrics_) metrics_->record_risk_block(classify_rejection(displayed), kMode);
    return std::unexpected(ToolError::execution_failed(fmt::format("risk check failed: {}", displayed)));
  }

  auto ack = backend_->replace_order(decoded->order_id, new_req);
  if (!ack) {
    if (metrics_) metrics_->record_replace("Error", kMode);
    return std::unexpected(
        ToolError::execution_failed(fmt::format("backend replace failed: {}", ack.error().message())));
  }
  if (metrics_) metrics_->record_replace(ack->status, kMode);
  return json::to_json(*ack);
}

}  // namespace vesk::trading
