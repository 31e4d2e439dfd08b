// Guarantees that must hold when several threads drive one tool, backend or collector.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <thread>

#include "test_support.hpp"
#include "trading/cancel_order_tool.hpp"
#include "trading/mock_backend.hpp"
#include "trading/place_order_tool.hpp"

namespace vesk::trading {
namespace {

using testing::parse_json;
using testing::text_of;

constexpr int kThreads = 8;

// Runs `body(thread_index)` on kThreads threads released together.
template <class Body>
void race(Body body) {
  std::barrier start(kThreads);
  std::vector<std::jthread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      start.arrive_and_wait();
      body(i);
    });
}

TEST(TradingConcurrency, OneTokenIsConfirmedExactlyOnce) {
  auto backend = std::make_shared<MockTradingBackend>();
  PlaceOrderTool tool(backend, SafetyMode::TwoPhase, RiskLimits{}, std::make_shared<DailyCounter>());
  for (int round = 0; round < 20; ++round) {
    const std::string token = text_of(
        parse_json(tool.execute(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.01})").value()), "confirm_token");
    const std::string confirm =
        R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.01,"extras":{"confirm_token":")" + token + R"("}})";
    std::atomic<int> sent{0}, not_found{0};
    race([&](int) {
      auto result = tool.execute(confirm);
      if (result) ++sent;
      else if (result.error().message() == "工具执行失败: 未找到待确认订单: " + token) ++not_found;
    });
    EXPECT_EQ(sent.load(), 1);
    EXPECT_EQ(not_found.load(), kThreads - 1);
  }
  EXPECT_EQ(backend->order_count(), 20u);
}

TEST(TradingConcurrency, OneOrderIsCancelledExactlyOnce) {
  auto backend = std::make_shared<MockTradingBackend>();
  auto metrics = std::make_shared<TradingMetrics>();
  CancelOrderTool tool(backend, RiskLimits{}, std::make_shared<DailyCounter>());
  tool.attach_metrics(metrics);
  PlaceOrderArgs req;
  req.symbol = "BTC-USDT";
  req.quantity = 0.01;
  constexpr int kOrders = 20;
  for (int i = 0; i < kOrders; ++i) ASSERT_TRUE(backend->place_order(req));
  std::atomic<int> cancelled{0};
  for (int i = 1; i <= kOrders; ++i) {
    const std::string args = R"({"order_id":"MOCK-)" + std::to_string(i) + R"("})";
    race([&](int) {
      if (tool.execute(args)) ++cancelled;
    });
  }
  EXPECT_EQ(cancelled.load(), kOrders);
  const auto samples = metrics->snapshot_filtered("trading_cancels_total");
  double ok = 0, error = 0;
  for (const auto& s : samples) (s.labels.at("status") == "Cancelled" ? ok : error) += s.value;
  EXPECT_EQ(ok, kOrders);
  EXPECT_EQ(error, kOrders * (kThreads - 1));
}

TEST(TradingConcurrency, DailyCeilingIsNeverPassed) {
  constexpr uint32_t kCeiling = 13;
  auto backend = std::make_shared<MockTradingBackend>();
  RiskLimits limits;
  limits.max_daily_orders = kCeiling;
  PlaceOrderTool tool(backend, SafetyMode::Direct, limits, std::make_shared<DailyCounter>());
  std::atomic<int> sent{0};
  race([&](int) {
    for (int k = 0; k < 10; ++k)
      if (tool.execute(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.001})")) ++sent;
  });
  EXPECT_EQ(sent.load(), static_cast<int>(kCeiling));
  EXPECT_EQ(backend->order_count(), kCeiling);

  DailyCounter counter;
  std::atomic<int> passed{0};
  race([&](int) {
    for (int k = 0; k < 100; ++k)
      if (counter.increment_and_check(kCeiling)) ++passed;
  });
  EXPECT_EQ(passed.load(), static_cast<int>(kCeiling));
  EXPECT_EQ(counter.today_count(), static_cast<uint32_t>(kThreads * 100));
}

TEST(TradingConcurrency, MetricTotalsEqualRecordedCalls) {
  constexpr int kPerThread = 200;
  TradingMetrics metrics;
  std::atomic<uint64_t> observed{0};
  metrics.set_observer([&](const MetricSample&) { ++observed; });
  race([&](int i) {
    const std::string symbol = i % 2 ? "BTC-USDT" : "ETH-USDT";
    for (int k = 0; k < kPerThread; ++k) {
      metrics.record_order(symbol, "Buy", "Filled", "direct", 10);
      metrics.record_cancel(k % 3 ? "Cancelled" : "Error", "direct");
      metrics.record_risk_block(RiskRule::MaxPositionAbs, "direct");
    }
  });
  const auto total = [&](std::string_view name) {
    double sum = 0;
    for (const auto& s : metrics.snapshot_filtered(name)) sum += s.value;
    return sum;
  };
  const double calls = kThreads * kPerThread;
  EXPECT_EQ(total("trading_orders_total"), calls);
  EXPECT_EQ(total("trading_cancels_total"), calls);
  EXPECT_EQ(total("trading_risk_blocks_total"), calls);
  EXPECT_EQ(total("trading_order_latency_ns"), calls * 10);
  uint64_t latency_count = 0;
  for (const auto& s : metrics.snapshot_filtered("trading_order_latency_ns")) latency_count += s.count.value_or(0);
  EXPECT_EQ(latency_count, static_cast<uint64_t>(calls));
  EXPECT_EQ(observed.load(), static_cast<uint64_t>(calls * 3));
}

TEST(TradingConcurrency, SharedBackendKeepsItsBookConsistent) {
  auto backend = std::make_shared<MockTradingBackend>();
  PlaceOrderTool tool(backend, SafetyMode::Direct, RiskLimits{}, std::make_shared<DailyCounter>());
  race([&](int i) {
    const char* buy = R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.5,"price":100.0})";
    const char* sell = R"({"symbol":"BTC-USDT","side":"Sell","quantity":0.5,"price":100.0})";
    for (int k = 0; k < 50; ++k) ASSERT_TRUE(tool.execute(i % 2 ? buy : sell));
  });
  EXPECT_EQ(backend->order_count(), static_cast<uint64_t>(kThreads * 50));
  const auto balance = backend->get_balance().value();
  EXPECT_NEAR(balance.currencies[0].free, 10000.0, 1e-6);  // as many buys as sells at one price
  EXPECT_NEAR(balance.currencies[1].free, 0.1, 1e-9);
}

}  // namespace
}  // namespace vesk::trading
