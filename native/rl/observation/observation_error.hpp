#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace vesk::rl {

struct ObservationError {
  struct FeatureNotFound { std::string name; };
  struct InvalidWindow { std::uint64_t window; };
  struct FeatureCountMismatch { std::uint64_t expected; std::uint64_t got; };
  struct NormalizationFailed { std::string message; };
  struct InsufficientData { std::uint64_t need; std::uint64_t have; };

  std::variant<FeatureNotFound, InvalidWindow, FeatureCountMismatch, NormalizationFailed,
               InsufficientData>
      kind;

  std::string message() const;
};

}  // namespace vesk::rl
