#pragma once
#include <cstdint>
#include <utility>
#include <vector>

namespace vesk::walk_forward {

using IndexList = std::vector<uint64_t>;

// Training indices strictly before min(test) - label_horizon (floored at 0), in their order,
// duplicates kept. An empty test set or a zero horizon returns the training list unchanged.
IndexList purge_overlapping_labels(const IndexList& train_idx, const IndexList& test_idx, uint64_t label_horizon);

// The block after max(test): ceil(embargo_pct * |test|) indices (at least 1), cut at n_total.
IndexList embargo_indices(const IndexList& test_idx, double embargo_pct, uint64_t n_total);

struct LeakageReport {
  bool leaked = false;
  std::vector<std::pair<uint64_t, uint64_t>> pairs;  // shared indices (i, i) in ascending order,
                                                     // or the one (max train, min test) pair
  bool operator==(const LeakageReport&) const = default;
};

LeakageReport detect_leakage(const IndexList& train_idx, const IndexList& test_idx, uint64_t feature_lag);

}  // namespace vesk::walk_forward
