#pragma once

namespace vesk::rl {

// Clamp that lets NaN through unchanged and never asserts on its bounds (std::clamp would).
inline double clamp_to(double x, double lo, double hi) {
  if (x < lo) return lo;
  if (x > hi) return hi;
  return x;
}

}  // namespace vesk::rl
