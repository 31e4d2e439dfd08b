#pragma once
// Optional hook on the place-order tool: counts consecutive refusals and notes when they first
// reached the threshold. Nothing in the package reads it yet.
#include <atomic>
#include <cstdint>

namespace vesk::trading {

struct OrderBreaker {
  std::atomic<int64_t> tripped_at_ms{0};  // 0 while not tripped; the first trip time is kept
  std::atomic<uint32_t> consecutive_rejections{0};
  uint32_t threshold = 0;

  void record_rejection(int64_t now_ms);
  void reset() { consecutive_rejections.store(0); }
};

}  // namespace vesk::trading
