#include "trading/confirm_token.hpp"

#include <array>
#include <cstdint>
#include <fmt/format.h>
#include <random>

namespace vesk::trading {

std::string new_confirm_token() {
  // The token is what authorises sending a parked order, so it comes from the OS entropy
  // source rather than a seeded generator; one device per thread avoids sharing it.
  thread_local std::random_device device;
  std::array<uint8_t, 16> b{};
  for (size_t i = 0; i < b.size(); i += 4) {
    const uint32_t word = device();
    for (size_t k = 0; k < 4; ++k) b[i + k] = static_cast<uint8_t>(word >> (8 * k));
  }
  b[6] = static_cast<uint8_t>((b[6] & 0x0f) | 0x40);  // version 4
  b[8] = static_cast<uint8_t>((b[8] & 0x3f) | 0x80);  // RFC 4122 variant
  return fmt::format("{:02x}{:02x}{:02x}{:02x}-{:02x}{:02x}-{:02x}{:02x}-{:02x}{:02x}-{:02x}{:02x}{:02x}{:02x}{:02x}{:02x}",
                     b[0], b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13], b[14],
                     b[15]);
}

}  // namespace vesk::trading
