#pragma once
#include <chrono>
#include <cstdint>

namespace vesk {

// Wall-clock milliseconds since the Unix epoch; 0 when the clock reads before it.
inline uint64_t wall_clock_ms() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::system_clock::now().time_since_epoch())
                      .count();
  return ms > 0 ? static_cast<uint64_t>(ms) : 0;
}

// Monotonic time for latencies and elapsed times.
using MonotonicClock = std::chrono::steady_clock;

}  // namespace vesk
