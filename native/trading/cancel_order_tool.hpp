#pragma once
// Cancels an order, within an optional per-day ceiling of cancels.
#include <memory>

#include "trading/backend.hpp"
#include "trading/daily_counter.hpp"
#include "trading/metrics.hpp"
#include "trading/risk_limits.hpp"
#include "trading/tool.hpp"

namespace vesk::trading {

class CancelOrderTool final : public Tool {
 public:
  CancelOrderTool(std::shared_ptr<TradingBackend> backend, RiskLimits limits, std::shared_ptr<DailyCounter> daily);

  void attach_metrics(std::shared_ptr<TradingMetrics> metrics) { metrics_ = std::move(metrics); }
  ToolResult execute(std::string_view args) override;

 private:
  RiskLimits limits_;
  std::shared_ptr<TradingBackend> backend_;
  std::shared_ptr<DailyCounter> daily_;  // counts this tool's cancels
  std::shared_ptr<TradingMetrics> metrics_;  // optional
};

}  // namespace vesk::trading
