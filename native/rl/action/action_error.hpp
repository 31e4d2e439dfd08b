#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace vesk::rl {

struct ActionError {
  struct InvalidIndex { std::uint64_t index; std::uint64_t size; };
  struct Masked { std::string reason; };
  struct OutOfRange { double value; double min; double max; };
  struct NoPosition { double position; };
  struct InsufficientMargin { double requested; double available; };
  struct LengthMismatch { std::uint64_t expected; std::uint64_t got; };
  // A space that cannot be acted in: reversed or NaN bounds, or too many bins to count.
  struct InvalidSpace { std::string message; };

  std::variant<InvalidIndex, Masked, OutOfRange, NoPosition, InsufficientMargin, LengthMismatch,
               InvalidSpace>
      kind;

  std::string message() const;
};

}  // namespace vesk::rl
