#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <vector>

#include "trading/metric_sample.hpp"

namespace vesk::trading {

struct LatencySample {
  LabelList labels;
  uint64_t count = 0;
  double sum = 0.0;
};

class LatencyHistogram {
 public:
  void observe(const LabelList& labels, double value);
  std::vector<LatencySample> snapshot() const;

 private:
  struct Totals {
    uint64_t count = 0;
    double sum = 0.0;
  };
  mutable std::mutex mutex_;
  std::map<LabelList, Totals> totals_;  // guarded by mutex_
};

}  // namespace vesk::trading
