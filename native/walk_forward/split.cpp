#include "walk_forward/split.hpp"

#include <optional>

namespace vesk::walk_forward {
namespace {

// Window ends near the top of the u64 range would wrap; a wrapped window can never fit.
std::optional<uint64_t> add(uint64_t a, uint64_t b) {
  uint64_t out;
  if (__builtin_add_overflow(a, b, &out)) return std::nullopt;
  return out;
}

std::optional<FoldSplit> fold_at(const WalkForwardConfig& c, uint64_t k) {
  uint64_t start;
  if (__builtin_mul_overflow(k, c.step_size, &start)) return std::nullopt;
  FoldSplit f;
  f.fold_id = k;
  const auto train_end = add(start, c.train_size);
  if (!train_end) return std::nullopt;
  f.train_start = c.window_type == WindowType::Rolling ? start : 0;
  f.train_end = *train_end;
  f.validation_start = f.train_end;
  const auto validation_end = add(f.validation_start, c.validation_size);
  if (!validation_end) return std::nullopt;
  f.validation_end = *validation_end;
  const auto test_start = add(f.validation_end, c.purge_gap);
  if (!test_start) return std::nullopt;
  f.test_start = *test_start;
  const auto test_end = add(f.test_start, c.test_size);
  if (!test_end) return std::nullopt;
  f.test_end = *test_end;
  return f;
}

}  // namespace

std::vector<FoldSplit> TimeSeriesSplitter::split(uint64_t n_samples) const {
  std::vector<FoldSplit> folds;
  const auto first = fold_at(config_, 0);
  if (!first || first->test_end > n_samples) return folds;
  folds.reserve((n_samples - first->test_end) / config_.step_size + 1);
  for (uint64_t k = 0;; ++k) {
    const auto fold = fold_at(config_, k);
    if (!fold || fold->test_end > n_samples) break;
    folds.push_back(*fold);
  }
  return folds;
}

}  // namespace vesk::walk_forward
