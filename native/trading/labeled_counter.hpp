#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "trading/metric_sample.hpp"

namespace vesk::trading {

class LabeledCounter {
 public:
  void inc(const LabelList& labels);
  uint64_t get(const LabelList& labels) const;  // 0 for labels never counted
  std::vector<std::pair<LabelList, uint64_t>> snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::map<LabelList, uint64_t> counts_;  // guarded by mutex_
};

}  // namespace vesk::trading
