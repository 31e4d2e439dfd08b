#include "trading/labeled_counter.hpp"

namespace vesk::trading {

void LabeledCounter::inc(const LabelList& labels) {
  std::lock_guard lock(mutex_);
  ++counts_[labels];
}

uint64_t LabeledCounter::get(const LabelList& labels) const {
  std::lock_guard lock(mutex_);
  auto it = counts_.find(labels);
  return it == counts_.end() ? 0 : it->second;
}

std::vector<std::pair<LabelList, uint64_t>> LabeledCounter::snapshot() const {
  std::lock_guard lock(mutex_);
  return {counts_.begin(), counts_.end()};
}

}  // namespace vesk::trading
