#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace vesk::rl {

struct RewardError {
  struct WindowTooLarge { std::uint64_t window; std::uint64_t available; };
  struct InvalidWeightSum { double sum; };
  struct NonFinite { double value; };
  struct DivisionByZero {};
  struct UnknownConfig { std::string name; };

  std::variant<WindowTooLarge, InvalidWeightSum, NonFinite, DivisionByZero, UnknownConfig> kind;

  std::string message() const;
};

}  // namespace vesk::rl
