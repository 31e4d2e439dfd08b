#include "rl/reward/return_history.hpp"

#include <algorithm>

namespace vesk::rl {
namespace {
// Reserve no more than this up front: a huge capacity must not allocate before it is used.
constexpr std::uint64_t kMaxReserve = 1 << 16;
}  // namespace

ReturnHistory::ReturnHistory(std::uint64_t capacity) : capacity_(capacity) {
  data_.reserve(static_cast<std::size_t>(std::min(std::max<std::uint64_t>(capacity, 1), kMaxReserve)));
}

void ReturnHistory::push(double x) {
  if (capacity_ == 0) return;
  if (size() == capacity_) ++begin_;
  data_.push_back(x);
  if (begin_ >= size()) {
    data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(begin_));
    begin_ = 0;
  }
}

void ReturnHistory::clear() {
  data_.clear();
  begin_ = 0;
}

std::span<const double> ReturnHistory::values() const {
  return std::span<const double>(data_).subspan(begin_);
}

}  // namespace vesk::rl
