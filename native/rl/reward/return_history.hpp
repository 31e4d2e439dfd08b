#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vesk::rl {

// First-in-first-out buffer of the latest `capacity` per-step returns, readable as one
// contiguous span, oldest first.
class ReturnHistory {
 public:
  explicit ReturnHistory(std::uint64_t capacity);

  void push(double x);
  void clear();
  std::span<const double> values() const;
  std::size_t size() const { return data_.size() - begin_; }
  std::uint64_t capacity() const { return capacity_; }

 private:
  std::uint64_t capacity_;
  // Values live in data_[begin_..]; dropped ones are compacted away once they outnumber the
  // live ones, so push stays amortised O(1) without a ring's wrap-around.
  std::vector<double> data_;
  std::size_t begin_ = 0;
};

}  // namespace vesk::rl
