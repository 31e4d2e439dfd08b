#include "trading/safety_mode.hpp"

namespace vesk::trading {

std::string_view mode_label(SafetyMode mode) {
  switch (mode) {
    case SafetyMode::DryRun: return "dry_run";
    case SafetyMode::TwoPhase: return "two_phase";
    case SafetyMode::Direct: return "direct";
  }
  return "direct";
}

std::optional<SafetyMode> parse_safety_mode(std::string_view label) {
  for (SafetyMode mode : {SafetyMode::DryRun, SafetyMode::TwoPhase, SafetyMode::Direct})
    if (mode_label(mode) == label) return mode;
  return std::nullopt;
}

}  // namespace vesk::trading
