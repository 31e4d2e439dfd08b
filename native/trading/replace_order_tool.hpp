#pragma once
// Changes an order after checking the new request against the static limits.
#include <memory>

#include "trading/backend.hpp"
#include "trading/metrics.hpp"
#include "trading/risk_limits.hpp"
#include "trading/tool.hpp"

namespace vesk::trading {

class ReplaceOrderTool final : public Tool {
 public:
  ReplaceOrderTool(std::shared_ptr<TradingBackend> backend, RiskLimits limits);

  void attach_metrics(std::shared_ptr<TradingMetrics> metrics) { metrics_ = std::move(metrics); }
  ToolResult execute(std::string_view args) override;

 private:
  RiskLimits limits_;
  std::shared_ptr<TradingBackend> backend_;
  std::shared_ptr<TradingMetrics> metrics_;  // optional
};

}  // namespace vesk::trading
