#pragma once
// Balance and positions, optionally narrowed to one symbol's positions.
#include <memory>

#include "trading/backend.hpp"
#include "trading/tool.hpp"

namespace vesk::trading {

class QueryPortfolioTool final : public Tool {
 public:
  explicit QueryPortfolioTool(std::shared_ptr<TradingBackend> backend) : backend_(std::move(backend)) {}

  // Arguments that do not decode mean "everything": a read can do no harm.
  ToolResult execute(std::string_view args) override;

 private:
  std::shared_ptr<TradingBackend> backend_;
};

}  // namespace vesk::trading
