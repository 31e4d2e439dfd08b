#include "rl/reward/reward_error.hpp"

#include <fmt/format.h>

#include "core/number_format.hpp"

namespace vesk::rl {
namespace {

struct Display {
  std::string operator()(const RewardError::WindowTooLarge& e) const {
    return fmt::format("window size {} exceeds available history length {}", e.window,
                       e.available);
  }
  std::string operator()(const RewardError::InvalidWeightSum& e) const {
    return fmt::format("invalid weight sum: {}, expected 1.0", fixed_number(e.sum, 6));
  }
  std::string operator()(const RewardError::NonFinite& e) const {
    return fmt::format("portfolio value is NaN or infinite: {}", display_number(e.value));
  }
  std::string operator()(const RewardError::DivisionByZero&) const {
    return "division by zero in risk calculation";
  }
  std::string operator()(const RewardError::UnknownConfig& e) const {
    return fmt::format("unknown reward config: {}", e.name);
  }
};

}  // namespace

std::string RewardError::message() const { return std::visit(Display{}, kind); }

}  // namespace vesk::rl
