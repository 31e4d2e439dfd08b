#include "trading/metrics.hpp"

#include <exception>
#include <string>
#include <utility>

#include "core/clock.hpp"
#include "core/log.hpp"

namespace vesk::trading {
namespace {

constexpr std::string_view kOrders = "trading_orders_total";
constexpr std::string_view kRiskBlocks = "trading_risk_blocks_total";
constexpr std::string_view kGateBlocks = "trading_gate_blocks_total";
constexpr std::string_view kCancels = "trading_cancels_total";
constexpr std::string_view kReplaces = "trading_replaces_total";
constexpr std::string_view kLatency = "trading_order_latency_ns";
constexpr std::string_view kDailyOrders = "trading_daily_orders_count";

int64_t now_ms() { return static_cast<int64_t>(wall_clock_ms()); }

LabelList labels(std::initializer_list<std::pair<std::string_view, std::string_view>> pairs) {
  LabelList out;
  out.reserve(pairs.size());
  for (const auto& [k, v] : pairs) out.emplace_back(std::string(k), std::string(v));
  return out;
}

void append_counter(std::vector<MetricSample>& out, const LabeledCounter& counter, std::string_view name,
                    int64_t timestamp_ms) {
  for (auto& [list, count] : counter.snapshot())
    out.push_back({std::string(name), MetricKind::Counter, static_cast<double>(count), labels_to_btreemap(list),
                   timestamp_ms, std::nullopt});
}

// The collector whose observer this thread is running: an observer that records into that same
// collector would otherwise deadlock on its mutex. Other collectors still reach their observers.
thread_local const TradingMetrics* emitting = nullptr;

}  // namespace

void TradingMetrics::count_and_emit(LabeledCounter& counter, std::string_view name, const LabelList& list) {
  counter.inc(list);
  const double value = static_cast<double>(counter.get(list));
  emit({std::string(name), MetricKind::Counter, value, labels_to_btreemap(list), now_ms(), std::nullopt});
}

void TradingMetrics::record_order(std::string_view symbol, std::string_view side, std::string_view status,
                                  std::string_view mode, uint64_t latency_ns) {
  const LabelList list = labels({{"symbol", symbol}, {"side", side}, {"status", status}, {"mode", mode}});
  orders_.inc(list);
  latency_.observe(labels({{"tool", "place"}, {"mode", mode}}), static_cast<double>(latency_ns));
  emit({std::string(kOrders), MetricKind::Counter, static_cast<double>(orders_.get(list)), labels_to_btreemap(list),
        now_ms(), std::nullopt});
}

void TradingMetrics::record_cancel(std::string_view status, std::string_view mode) {
  count_and_emit(cancels_, kCancels, labels({{"status", status}, {"mode", mode}}));
}

void TradingMetrics::record_replace(std::string_view status, std::string_view mode) {
  count_and_emit(replaces_, kReplaces, labels({{"status", status}, {"mode", mode}}));
}

void TradingMetrics::record_gate_block(std::string_view mode) {
  count_and_emit(gate_blocks_, kGateBlocks, labels({{"mode", mode}}));
}

void TradingMetrics::record_risk_block(RiskRule rule, std::string_view mode) {
  count_and_emit(risk_blocks_, kRiskBlocks, labels({{"rule", rule_label(rule)}, {"mode", mode}}));
}

void TradingMetrics::set_daily_orders_count(double value) {
  daily_orders_.store(value);
  emit({std::string(kDailyOrders), MetricKind::Gauge, value, {}, now_ms(), std::nullopt});
}

std::vector<MetricSample> TradingMetrics::snapshot() const {
  const int64_t at = now_ms();
  std::vector<MetricSample> out;
  append_counter(out, orders_, kOrders, at);
  append_counter(out, risk_blocks_, kRiskBlocks, at);
  append_counter(out, gate_blocks_, kGateBlocks, at);
  append_counter(out, cancels_, kCancels, at);
  append_counter(out, replaces_, kReplaces, at);
  for (auto& s : latency_.snapshot())
    out.push_back({std::string(kLatency), MetricKind::Histogram, s.sum, labels_to_btreemap(s.labels), at, s.count});
  out.push_back({std::string(kDailyOrders), MetricKind::Gauge, daily_orders_.load(), {}, at, std::nullopt});
  return out;
}

std::vector<MetricSample> TradingMetrics::snapshot_filtered(std::string_view name) const {
  std::vector<MetricSample> out;
  for (auto& s : snapshot())
    if (s.name == name) out.push_back(std::move(s));
  return out;
}

void TradingMetrics::set_observer(Observer observer) {
  std::lock_guard lock(observer_mutex_);
  observer_ = std::move(observer);
}

void TradingMetrics::emit(const MetricSample& sample) {
  if (emitting == this) return;
  std::lock_guard lock(observer_mutex_);
  if (!observer_) return;
  const TradingMetrics* outer = std::exchange(emitting, this);
  std::optional<std::string> failure;
  try {
    observer_(sample);
  } catch (const std::exception& e) {
    failure = e.what();
  } catch (...) {
    failure = "unknown exception";
  }
  emitting = outer;
  if (!failure) return;
  const log::Field fields[] = {{"e", *failure}};
  log::write(log::Level::Warn, "trading", "TradingMetrics callback panicked; ignoring", fields);
}

}  // namespace vesk::trading
