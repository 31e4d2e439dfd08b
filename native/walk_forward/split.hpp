#pragma once
#include <cstdint>
#include <vector>

#include "walk_forward/config.hpp"

namespace vesk::walk_forward {

// One fold; every window is half-open [start, end).
struct FoldSplit {
  uint64_t fold_id = 0;
  uint64_t train_start = 0;
  uint64_t train_end = 0;
  uint64_t validation_start = 0;
  uint64_t validation_end = 0;
  uint64_t test_start = 0;
  uint64_t test_end = 0;
  bool operator==(const FoldSplit&) const = default;
};

class TimeSeriesSplitter {
 public:
  // The configuration must have passed validate() (a zero step would never end).
  explicit TimeSeriesSplitter(WalkForwardConfig config) : config_(config) {}

  // Only whole folds: the first fold whose test window would pass n_samples ends the list.
  std::vector<FoldSplit> split(uint64_t n_samples) const;

 private:
  WalkForwardConfig config_;
};

}  // namespace vesk::walk_forward
