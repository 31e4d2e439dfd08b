#pragma once
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "core/json/record.hpp"

namespace vesk::walk_forward {

enum class WindowType { Rolling, Expanding };

std::string_view window_type_label(WindowType type);  // "Rolling" / "Expanding"

struct WalkForwardConfig {
  uint64_t train_size = 0;       // training window length (for Expanding, in the first fold)
  uint64_t validation_size = 0;  // directly follows the training window
  uint64_t test_size = 0;
  uint64_t step_size = 0;        // how far every window moves between folds
  WindowType window_type = WindowType::Rolling;
  uint64_t purge_gap = 0;        // observations left out before the test window
  double embargo_pct = 0.01;     // stored for callers of the embargo function

  // The first failed check's message, in a fixed order.
  std::expected<void, std::string> validate() const;
};

json::Read<WalkForwardConfig> read_config(std::string_view text);

}  // namespace vesk::walk_forward

namespace vesk::json {

template <>
struct Decoder<walk_forward::WindowType> {
  static Read<walk_forward::WindowType> decode(Reader& r);
};

template <>
struct Decoder<walk_forward::WalkForwardConfig> {
  static Read<walk_forward::WalkForwardConfig> decode(Reader& r);
};

}  // namespace vesk::json
