#include "rl/action/action_error.hpp"

#include <fmt/format.h>

#include "core/number_format.hpp"

namespace vesk::rl {
namespace {

struct Display {
  std::string operator()(const ActionError::InvalidIndex& e) const {
    return fmt::format("Invalid action index {} for space of size {}", e.index, e.size);
  }
  std::string operator()(const ActionError::Masked& e) const {
    return fmt::format("Action masked: {}", e.reason);
  }
  std::string operator()(const ActionError::OutOfRange& e) const {
    return fmt::format("Continuous action value {} out of range [{}, {}]", display_number(e.value),
                       display_number(e.min), display_number(e.max));
  }
  std::string operator()(const ActionError::NoPosition& e) const {
    return fmt::format("No position to sell: current position = {}", display_number(e.position));
  }
  std::string operator()(const ActionError::InsufficientMargin& e) const {
    return fmt::format("Insufficient margin: requested {}, available {}",
                       display_number(e.requested), display_number(e.available));
  }
  std::string operator()(const ActionError::LengthMismatch& e) const {
    return fmt::format("Action vector length mismatch: expected {}, got {}", e.expected, e.got);
  }
  std::string operator()(const ActionError::InvalidSpace& e) const { return e.message; }
};

}  // namespace

std::string ActionError::message() const { return std::visit(Display{}, kind); }

}  // namespace vesk::rl
