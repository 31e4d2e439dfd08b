#include "trading/latency_histogram.hpp"

namespace vesk::trading {

void LatencyHistogram::observe(const LabelList& labels, double value) {
  std::lock_guard lock(mutex_);
  Totals& t = totals_[labels];
  ++t.count;
  t.sum += value;
}

std::vector<LatencySample> LatencyHistogram::snapshot() const {
  std::lock_guard lock(mutex_);
  std::vector<LatencySample> out;
  out.reserve(totals_.size());
  for (const auto& [labels, t] : totals_) out.push_back({labels, t.count, t.sum});
  return out;
}

}  // namespace vesk::trading
