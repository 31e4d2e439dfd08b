#pragma once
// Per-tool count of actions per UTC day, with a ceiling checked at each increment.
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "trading/backend.hpp"

namespace vesk::trading {

// Whole days since 1970-01-01 UTC, in decimal ("20431" for 2025-12-09).
std::string day_key(uint64_t wall_clock_ms);

class DailyCounter {
 public:
  uint32_t today_count() const;  // 0 when nothing was counted today; creates no entry
  // Counts the attempt (refused ones included), then refuses when the new count exceeds `limit`.
  TradingResult<void> increment_and_check(uint32_t limit);

 private:
  mutable std::mutex mutex_;
  std::map<std::string, uint32_t> counts_;  // guarded by mutex_; day key -> count
};

}  // namespace vesk::trading
