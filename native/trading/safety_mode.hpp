#pragma once
#include <optional>
#include <string_view>

namespace vesk::trading {

// dry_run: only pretend; two_phase: park until confirmed with a token; direct: send at once.
enum class SafetyMode { DryRun, TwoPhase, Direct };

std::string_view mode_label(SafetyMode mode);  // "dry_run", "two_phase", "direct"
std::optional<SafetyMode> parse_safety_mode(std::string_view label);  // exact labels only

}  // namespace vesk::trading
