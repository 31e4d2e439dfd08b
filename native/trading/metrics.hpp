#pragma once
// In-process collector fed by the order tools; one collector may serve several tools.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

#include "trading/labeled_counter.hpp"
#include "trading/latency_histogram.hpp"
#include "trading/metric_sample.hpp"
#include "trading/risk_rule.hpp"

namespace vesk::trading {

class TradingMetrics {
 public:
  using Observer = std::function<void(const MetricSample&)>;

  void record_order(std::string_view symbol, std::string_view side, std::string_view status, std::string_view mode,
                    uint64_t latency_ns);
  void record_cancel(std::string_view status, std::string_view mode);
  void record_replace(std::string_view status, std::string_view mode);
  void record_gate_block(std::string_view mode);
  void record_risk_block(RiskRule rule, std::string_view mode);
  void set_daily_orders_count(double value);

  // Counters (orders, risk, gate, cancels, replaces), then latencies, then the daily gauge.
  std::vector<MetricSample> snapshot() const;
  std::vector<MetricSample> snapshot_filtered(std::string_view name) const;

  // Every recording hands its sample to the observer; a throwing observer is logged and ignored.
  void set_observer(Observer observer);
  void emit(const MetricSample& sample);

 private:
  void count_and_emit(LabeledCounter& counter, std::string_view name, const LabelList& labels);

  LabeledCounter orders_;
  LabeledCounter risk_blocks_;
  LabeledCounter gate_blocks_;
  LabeledCounter cancels_;
  LabeledCounter replaces_;
  std::mutex observer_mutex_;
  Observer observer_;  // guarded by observer_mutex_; called with it held, so one at a time
  LatencyHistogram latency_;
  std::atomic<double> daily_orders_{0.0};
};

}  // namespace vesk::trading
