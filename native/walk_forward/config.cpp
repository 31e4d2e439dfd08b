#include "walk_forward/config.hpp"

#include <cmath>
#include <fmt/format.h>

#include "core/number_format.hpp"

namespace vesk::walk_forward {

std::string_view window_type_label(WindowType type) { return type == WindowType::Rolling ? "Rolling" : "Expanding"; }

std::expected<void, std::string> WalkForwardConfig::validate() const {
  if (train_size == 0) return std::unexpected("train_size must be > 0");
  if (test_size == 0) return std::unexpected("test_size must be > 0");
  if (step_size == 0) return std::unexpected("step_size must be > 0");
  if (!std::isfinite(embargo_pct) || embargo_pct < 0.0 || embargo_pct > 1.0)
    return std::unexpected(fmt::format("embargo_pct ({}) must be in [0.0, 1.0]", display_number(embargo_pct)));
  return {};
}

json::Read<WalkForwardConfig> read_config(std::string_view text) { return json::from_text<WalkForwardConfig>(text); }

}  // namespace vesk::walk_forward

namespace vesk::json {

using walk_forward::WalkForwardConfig;
using walk_forward::WindowType;

Read<WindowType> Decoder<WindowType>::decode(Reader& r) {
  static constexpr std::string_view names[] = {"rolling", "expanding"};
  return read_enum<WindowType>(r, names);
}

Read<WalkForwardConfig> Decoder<WalkForwardConfig>::decode(Reader& r) {
  static constexpr Field<WalkForwardConfig> fields[] = {
      required<&WalkForwardConfig::train_size>("train_size"),
      defaulted<&WalkForwardConfig::validation_size>("validation_size"),
      required<&WalkForwardConfig::test_size>("test_size"),
      required<&WalkForwardConfig::step_size>("step_size"),
      required<&WalkForwardConfig::window_type>("window_type"),
      defaulted<&WalkForwardConfig::purge_gap>("purge_gap"),
      defaulted<&WalkForwardConfig::embargo_pct>("embargo_pct"),
  };
  return read_record(r, "WalkForwardConfig", fields);
}

}  // namespace vesk::json
