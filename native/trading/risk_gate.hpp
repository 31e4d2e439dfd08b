#pragma once
// A switch that can block all sending; the reason, when blocked, is shown to the caller.
#include <optional>
#include <string>

namespace vesk::trading {

class RiskGate {
 public:
  virtual ~RiskGate() = default;
  virtual std::optional<std::string> is_blocked() const = 0;
};

class AlwaysOpenGate final : public RiskGate {
 public:
  std::optional<std::string> is_blocked() const override { return std::nullopt; }
};

}  // namespace vesk::trading
