#include "walk_forward/purge.hpp"

#include <algorithm>
#include <cmath>

namespace vesk::walk_forward {
namespace {

IndexList sorted_distinct(IndexList values) {
  if (!std::is_sorted(values.begin(), values.end())) std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  return values;
}

uint64_t embargo_length(double embargo_pct, size_t test_count) {
  const double raw = std::ceil(embargo_pct * static_cast<double>(test_count));
  uint64_t length = 0;
  if (raw >= 18446744073709551615.0) length = UINT64_MAX;
  else if (raw > 0) length = static_cast<uint64_t>(raw);  // negative and NaN stay 0
  return std::max<uint64_t>(length, 1);
}

}  // namespace

IndexList purge_overlapping_labels(const IndexList& train_idx, const IndexList& test_idx, uint64_t label_horizon) {
  if (test_idx.empty() || label_horizon == 0) return train_idx;
  const uint64_t test_min = *std::min_element(test_idx.begin(), test_idx.end());
  const uint64_t cutoff = test_min > label_horizon ? test_min - label_horizon : 0;
  IndexList kept;
  kept.reserve(train_idx.size());
  std::copy_if(train_idx.begin(), train_idx.end(), std::back_inserter(kept), [cutoff](uint64_t i) { return i < cutoff; });
  return kept;
}

IndexList embargo_indices(const IndexList& test_idx, double embargo_pct, uint64_t n_total) {
  if (test_idx.empty() || embargo_pct <= 0.0) return {};  // NaN goes on: its length floors at 1
  const uint64_t test_max = *std::max_element(test_idx.begin(), test_idx.end());
  if (test_max >= n_total) return {};  // also keeps max + 1 from wrapping
  const uint64_t start = test_max + 1;
  const uint64_t length = embargo_length(embargo_pct, test_idx.size());
  const uint64_t end = length > n_total - start ? n_total : start + length;
  IndexList block(end - start);
  for (uint64_t i = 0; i < block.size(); ++i) block[i] = start + i;
  return block;
}

LeakageReport detect_leakage(const IndexList& train_idx, const IndexList& test_idx, uint64_t feature_lag) {
  LeakageReport report;
  if (train_idx.empty() || test_idx.empty()) return report;
  const IndexList train = sorted_distinct(train_idx);
  const IndexList test = sorted_distinct(test_idx);
  IndexList shared;
  std::set_intersection(train.begin(), train.end(), test.begin(), test.end(), std::back_inserter(shared));
  if (!shared.empty()) {
    report.leaked = true;
    report.pairs.reserve(shared.size());
    for (uint64_t i : shared) report.pairs.emplace_back(i, i);
    return report;
  }
  if (feature_lag == 0) return report;
  const uint64_t train_max = train.back();
  const uint64_t test_min = test.front();
  const uint64_t gap = test_min > train_max ? test_min - train_max : 0;
  if (gap <= feature_lag) {
    report.leaked = true;
    report.pairs.emplace_back(train_max, test_min);
  }
  return report;
}

}  // namespace vesk::walk_forward
