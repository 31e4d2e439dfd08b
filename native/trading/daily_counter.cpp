#include "trading/daily_counter.hpp"

#include <fmt/format.h>
#include <limits>

#include "core/clock.hpp"

namespace vesk::trading {

std::string day_key(uint64_t wall_clock_ms) { return fmt::format("{}", wall_clock_ms / 86'400'000); }

uint32_t DailyCounter::today_count() const {
  const std::string key = day_key(wall_clock_ms());
  std::lock_guard lock(mutex_);
  auto it = counts_.find(key);
  return it == counts_.end() ? 0 : it->second;
}

TradingResult<void> DailyCounter::increment_and_check(uint32_t limit) {
  const std::string key = day_key(wall_clock_ms());
  std::lock_guard lock(mutex_);
  uint32_t& count = counts_[key];
  // Saturate: wrapping back to 0 would reopen a ceiling that was reached.
  if (count < std::numeric_limits<uint32_t>::max()) ++count;
  if (count <= limit) return {};
  return std::unexpected(
      TradingError{TradingError::RiskRejected{fmt::format("单日订单数 {} 已超过限额 {}", count, limit)}});
}

}  // namespace vesk::trading
