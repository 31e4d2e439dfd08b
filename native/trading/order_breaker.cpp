#include "trading/order_breaker.hpp"

namespace vesk::trading {

void OrderBreaker::record_rejection(int64_t now_ms) {
  const uint32_t count = consecutive_rejections.fetch_add(1) + 1;
  if (count < threshold) return;
  int64_t untripped = 0;
  tripped_at_ms.compare_exchange_strong(untripped, now_ms);
}

}  // namespace vesk::trading
