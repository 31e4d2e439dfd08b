#include "trading/query_portfolio_tool.hpp"

#include "trading/types_json.hpp"

namespace vesk::trading {

ToolResult QueryPortfolioTool::execute(std::string_view args) {
  const QueryPortfolioArgs query = json::from_text<QueryPortfolioArgs>(args).value_or(QueryPortfolioArgs{});
  auto portfolio = backend_->get_portfolio();
  if (!portfolio) return std::unexpected(ToolError::execution_failed(portfolio.error().message()));
  if (query.symbol)
    std::erase_if(portfolio->positions, [&](const PositionSnapshot& p) { return p.symbol != *query.symbol; });
  return json::to_json(*portfolio);
}

}  // namespace vesk::trading
