#include "trading/backend.hpp"

namespace vesk::trading {

TradingResult<PortfolioSnapshot> TradingBackend::get_portfolio() {
  auto balance = get_balance();
  auto positions = get_positions();
  if (!balance) return std::unexpected(std::move(balance.error()));
  if (!positions) return std::unexpected(std::move(positions.error()));
  return PortfolioSnapshot{std::move(*balance), std::move(*positions)};
}

}  // namespace vesk::trading
