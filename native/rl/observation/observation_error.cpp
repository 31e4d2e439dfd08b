#include "rl/observation/observation_error.hpp"

#include <fmt/format.h>

namespace vesk::rl {
namespace {

struct Display {
  std::string operator()(const ObservationError::FeatureNotFound& e) const {
    return fmt::format("Feature '{}' not found in feature set", e.name);
  }
  std::string operator()(const ObservationError::InvalidWindow& e) const {
    return fmt::format("Window size must be > 0, got {}", e.window);
  }
  std::string operator()(const ObservationError::FeatureCountMismatch& e) const {
    return fmt::format("Feature count mismatch: expected {}, got {}", e.expected, e.got);
  }
  std::string operator()(const ObservationError::NormalizationFailed& e) const {
    return fmt::format("Normalization failed: {}", e.message);
  }
  std::string operator()(const ObservationError::InsufficientData& e) const {
    return fmt::format("Insufficient data: need {} ticks, have {}", e.need, e.have);
  }
};

}  // namespace

std::string ObservationError::message() const { return std::visit(Display{}, kind); }

}  // namespace vesk::rl
