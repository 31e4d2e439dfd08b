#include <gtest/gtest.h>

#include <stdexcept>

#include "test_support.hpp"
#include "trading/metrics.hpp"

namespace vesk::trading {
namespace {

TEST(TradingMetrics, EmptySnapshotIsTheGaugeAlone) {
  TradingMetrics m;
  const auto samples = m.snapshot();
  ASSERT_EQ(samples.size(), 1u);
  EXPECT_EQ(samples[0].name, "trading_daily_orders_count");
  EXPECT_EQ(samples[0].kind, MetricKind::Gauge);
  EXPECT_EQ(samples[0].value, 0.0);
  EXPECT_TRUE(samples[0].labels.empty());
  EXPECT_TRUE(m.snapshot_filtered("no_such_metric").empty());
}

TEST(TradingMetrics, SnapshotGroupsByLabelsInMetricOrder) {
  TradingMetrics m;
  m.record_cancel("Cancelled", "direct");
  m.record_order("BTC-USDT", "Buy", "Filled", "direct", 100);
  m.record_order("BTC-USDT", "Buy", "Filled", "direct", 250);
  m.record_order("BTC-USDT", "Buy", "Error", "direct", 50);
  m.record_risk_block(RiskRule::MaxPositionAbs, "two_phase");
  m.record_gate_block("direct");
  m.record_replace("Replaced", "direct");
  m.set_daily_orders_count(3.0);

  std::vector<std::string> names;
  for (const auto& s : m.snapshot()) names.push_back(s.name);
  EXPECT_EQ(names, (std::vector<std::string>{"trading_orders_total", "trading_orders_total", "trading_risk_blocks_total",
                                             "trading_gate_blocks_total", "trading_cancels_total",
                                             "trading_replaces_total", "trading_order_latency_ns",
                                             "trading_daily_orders_count"}));
  const auto orders = m.snapshot_filtered("trading_orders_total");
  const LabelMap filled{{"mode", "direct"}, {"side", "Buy"}, {"status", "Filled"}, {"symbol", "BTC-USDT"}};
  ASSERT_EQ(orders.size(), 2u);
  const auto& filled_sample = orders[0].labels == filled ? orders[0] : orders[1];
  EXPECT_EQ(filled_sample.labels, filled);
  EXPECT_EQ(filled_sample.value, 2.0);

  const auto latency = m.snapshot_filtered("trading_order_latency_ns");
  ASSERT_EQ(latency.size(), 1u);
  EXPECT_EQ(latency[0].kind, MetricKind::Histogram);
  EXPECT_EQ(latency[0].labels, (LabelMap{{"mode", "direct"}, {"tool", "place"}}));
  EXPECT_EQ(latency[0].value, 400.0);  // a sum, not an average
  EXPECT_EQ(latency[0].count, 3u);
  EXPECT_EQ(m.snapshot_filtered("trading_risk_blocks_total")[0].labels,
            (LabelMap{{"mode", "two_phase"}, {"rule", "max_position_abs"}}));
  EXPECT_EQ(m.snapshot().back().value, 3.0);
}

TEST(TradingMetrics, ObserverSeesEachRecording) {
  TradingMetrics m;
  std::vector<MetricSample> seen;
  m.set_observer([&](const MetricSample& s) { seen.push_back(s); });
  m.record_cancel("Cancelled", "direct");
  m.record_cancel("Cancelled", "direct");
  m.set_daily_orders_count(4.0);
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].name, "trading_cancels_total");
  EXPECT_EQ(seen[1].value, 2.0);
  EXPECT_EQ(seen[2].kind, MetricKind::Gauge);
  EXPECT_GT(seen[2].timestamp_ms, 0);
}

TEST(TradingMetrics, ThrowingObserverIsLoggedAndContained) {
  testing::LogCapture logs;
  TradingMetrics m;
  m.set_observer([](const MetricSample&) { throw std::runtime_error("observer broke"); });
  m.record_gate_block("direct");
  EXPECT_EQ(m.snapshot_filtered("trading_gate_blocks_total")[0].value, 1.0);
  const auto records = logs.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, log::Level::Warn);
  EXPECT_EQ(records[0].message, "TradingMetrics callback panicked; ignoring");
  ASSERT_EQ(records[0].fields.size(), 1u);
  EXPECT_EQ(records[0].fields[0].key, "e");
  EXPECT_EQ(records[0].fields[0].value, "observer broke");
}

TEST(TradingMetrics, ObserverRecordingIntoItsCollectorDoesNotDeadlock) {
  TradingMetrics m;
  m.set_observer([&](const MetricSample& s) {
    if (s.name == "trading_cancels_total") m.record_replace("Replaced", "direct");
  });
  m.record_cancel("Cancelled", "direct");
  EXPECT_EQ(m.snapshot_filtered("trading_replaces_total")[0].value, 1.0);
}

TEST(TradingMetrics, ObserverRecordingIntoAnotherCollectorReachesItsObserver) {
  TradingMetrics first, second;
  std::vector<std::string> seen_by_second;
  second.set_observer([&](const MetricSample& s) { seen_by_second.push_back(s.name); });
  first.set_observer([&](const MetricSample&) { second.record_gate_block("direct"); });
  first.record_cancel("Cancelled", "direct");
  EXPECT_EQ(seen_by_second, std::vector<std::string>{"trading_gate_blocks_total"});
}

TEST(TradingLog, NothingIsWrittenWithoutASink) {
  log::install_sink(nullptr);
  EXPECT_FALSE(log::enabled(log::Level::Error, "trading"));
  log::write(log::Level::Error, "trading", "dropped");  // must simply do nothing
  testing::LogCapture logs;
  log::write(log::Level::Info, "trading", "kept");
  EXPECT_EQ(logs.records().size(), 1u);
}

}  // namespace
}  // namespace vesk::trading
