#include <gtest/gtest.h>

#include "test_support.hpp"
#include "trading/mock_backend.hpp"
#include "trading/place_order_tool.hpp"
#include "trading/types_json.hpp"

namespace vesk::trading {
namespace {

using testing::failure_of;
using testing::number_of;
using testing::parse_json;
using testing::text_of;

constexpr const char* kBuySmall = R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.01})";

struct Rig {
  std::shared_ptr<MockTradingBackend> backend = std::make_shared<MockTradingBackend>();
  std::shared_ptr<TradingMetrics> metrics = std::make_shared<TradingMetrics>();
  std::shared_ptr<DailyCounter> daily = std::make_shared<DailyCounter>();

  std::unique_ptr<PlaceOrderTool> tool(SafetyMode mode, RiskLimits limits = {}) {
    auto t = std::make_unique<PlaceOrderTool>(backend, mode, std::move(limits), daily);
    t->attach_metrics(metrics);
    return t;
  }
  double metric(std::string_view name, const LabelMap& labels) const {
    for (const auto& s : metrics->snapshot_filtered(name))
      if (s.labels == labels) return s.value;
    return 0.0;
  }
};

std::string confirming(const std::string& token, std::string_view symbol = "BTC-USDT", double quantity = 0.001) {
  return fmt::format(R"({{"symbol":"{}","side":"Buy","quantity":{},"extras":{{"confirm_token":"{}"}}}})", symbol,
                     quantity, token);
}

TEST(PlaceOrderTool, DryRunDescribesWithoutSendingAndLogsTheRequest) {
  testing::LogCapture logs;
  Rig rig;
  auto tool = rig.tool(SafetyMode::DryRun);
  auto answer = tool->execute(kBuySmall);
  ASSERT_TRUE(answer.has_value()) << failure_of(answer);
  const auto ack = parse_json(*answer);
  EXPECT_EQ(text_of(ack, "order_id"), "DRY-RUN");
  EXPECT_EQ(text_of(ack, "status"), "DryRun");
  EXPECT_EQ(ack.find("confirm_token"), nullptr);
  EXPECT_EQ(rig.backend->order_count(), 0u);
  EXPECT_EQ(rig.metric("trading_orders_total", {{"mode", "dry_run"}, {"side", "Buy"}, {"status", "DryRun"}, {"symbol", "BTC-USDT"}}), 1.0);

  const auto records = logs.records();
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].level, log::Level::Info);
  EXPECT_EQ(records[0].target, "trading");
  EXPECT_EQ(records[0].message, "[DRY-RUN] place_order would be sent");
  ASSERT_EQ(records[0].fields.size(), 1u);
  EXPECT_EQ(records[0].fields[0].key, "args");
  EXPECT_EQ(records[0].fields[0].value, json::to_json(parse_place_order_args(kBuySmall).value()));
}

TEST(PlaceOrderTool, EveryModeFetchesPositionsAndAppliesLimits) {
  RiskLimits whitelist;
  whitelist.allowed_symbols = std::vector<std::string>{"ETH-USDT"};
  for (SafetyMode mode : {SafetyMode::DryRun, SafetyMode::TwoPhase, SafetyMode::Direct}) {
    Rig rig;
    auto tool = rig.tool(mode, whitelist);
    EXPECT_EQ(failure_of(tool->execute(kBuySmall)),
              R"(工具执行失败: 风控拒绝: symbol 'BTC-USDT' 不在白名单 ["ETH-USDT"] 中)");
    EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", std::string(mode_label(mode))}, {"rule", "allowed_symbols"}}), 1.0);
    rig.backend->set_failures({std::nullopt, std::nullopt, "book offline"});
    EXPECT_EQ(failure_of(tool->execute(kBuySmall)), "工具执行失败: position fetch failed: 后端调用失败: book offline");
    EXPECT_EQ(rig.backend->order_count(), 0u);
  }
}

TEST(PlaceOrderTool, TwoPhaseSendsTheParkedRequestOnce) {
  Rig rig;
  auto tool = rig.tool(SafetyMode::TwoPhase);
  const auto pending = parse_json(tool->execute(kBuySmall).value());
  EXPECT_EQ(text_of(pending, "order_id"), "PENDING");
  EXPECT_EQ(text_of(pending, "status"), "Pending");
  const std::string token = text_of(pending, "confirm_token");
  ASSERT_EQ(token.size(), 36u);
  EXPECT_EQ(token[14], '4');
  EXPECT_EQ(rig.backend->order_count(), 0u);

  // The confirming call's own symbol and quantity are not what gets sent.
  auto sent = tool->execute(confirming(token, "ETH-USDT", 5.0));
  ASSERT_TRUE(sent.has_value()) << failure_of(sent);
  const auto ack = parse_json(*sent);
  EXPECT_EQ(text_of(ack, "order_id"), "MOCK-1");
  EXPECT_EQ(text_of(ack, "symbol"), "BTC-USDT");
  EXPECT_EQ(number_of(ack, "quantity"), 0.01);
  EXPECT_EQ(failure_of(tool->execute(confirming(token))), "工具执行失败: 未找到待确认订单: " + token);
  EXPECT_EQ(rig.backend->order_count(), 1u);
}

TEST(PlaceOrderTool, TwoPhaseTokenMustBeAString) {
  Rig rig;
  auto tool = rig.tool(SafetyMode::TwoPhase);
  for (const char* extras : {R"({"confirm_token":7})", "null", "3", R"({"other":"x"})"}) {
    const auto ack = parse_json(tool->execute(fmt::format(R"({{"symbol":"BTC-USDT","side":"Buy","quantity":0.01,"extras":{}}})", extras)).value());
    EXPECT_EQ(text_of(ack, "order_id"), "PENDING") << extras;
  }
  EXPECT_EQ(rig.backend->order_count(), 0u);
}

// Another fill between parking and confirming must not let the parked order pass the limit;
// a refused confirmation keeps the order parked for a later attempt.
TEST(PlaceOrderTool, ConfirmationRechecksTheParkedRequestAgainstCurrentPositions) {
  Rig rig;
  RiskLimits limits;
  limits.max_position_abs = 0.16;
  auto two_phase = rig.tool(SafetyMode::TwoPhase, limits);
  PlaceOrderTool direct(rig.backend, SafetyMode::Direct, RiskLimits{}, std::make_shared<DailyCounter>());

  const std::string token =
      text_of(parse_json(two_phase->execute(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.05})").value()), "confirm_token");
  ASSERT_TRUE(direct.execute(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.05})"));  // position now 0.15

  EXPECT_EQ(failure_of(two_phase->execute(confirming(token))), "工具执行失败: 风控拒绝: 下单后持仓 0.2000 超过限额 0.1600");
  EXPECT_EQ(rig.backend->order_count(), 1u);
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "two_phase"}, {"rule", "max_position_abs"}}), 1.0);

  ASSERT_TRUE(direct.execute(R"({"symbol":"BTC-USDT","side":"Sell","quantity":0.05})"));  // back to 0.10
  auto sent = two_phase->execute(confirming(token));
  ASSERT_TRUE(sent.has_value()) << failure_of(sent);
  EXPECT_EQ(number_of(parse_json(*sent), "quantity"), 0.05);
}

TEST(PlaceOrderTool, ConfirmationRefusedByTheDailyCeilingKeepsTheToken) {
  Rig rig;
  RiskLimits limits;
  limits.max_daily_orders = 0;
  auto tool = rig.tool(SafetyMode::TwoPhase, limits);
  const std::string token = text_of(parse_json(tool->execute(kBuySmall).value()), "confirm_token");
  EXPECT_EQ(failure_of(tool->execute(confirming(token))), "工具执行失败: 风控拒绝: 单日订单数 1 已超过限额 0");
  EXPECT_EQ(failure_of(tool->execute(confirming(token))), "工具执行失败: 风控拒绝: 单日订单数 2 已超过限额 0");
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "two_phase"}, {"rule", "max_daily_orders"}}), 2.0);
  // An unknown token is an attempt to send too: the ceiling is reported first.
  EXPECT_EQ(failure_of(tool->execute(confirming("nope"))), "工具执行失败: 风控拒绝: 单日订单数 3 已超过限额 0");
  EXPECT_EQ(rig.daily->today_count(), 3u);
}

// The confirming call must pass the limits on its own fields as well as on the parked ones;
// refusals before the daily check leave both the count and the token alone.
TEST(PlaceOrderTool, ConfirmingCallIsItselfCheckedAndCounted) {
  Rig rig;
  RiskLimits limits;
  limits.allowed_symbols = std::vector<std::string>{"BTC-USDT"};
  limits.max_daily_orders = 5;
  auto tool = rig.tool(SafetyMode::TwoPhase, limits);
  const std::string token = text_of(parse_json(tool->execute(kBuySmall).value()), "confirm_token");

  EXPECT_EQ(failure_of(tool->execute(confirming(token, "ETH-USDT"))),
            R"(工具执行失败: 风控拒绝: symbol 'ETH-USDT' 不在白名单 ["BTC-USDT"] 中)");
  EXPECT_EQ(rig.daily->today_count(), 0u);
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "two_phase"}, {"rule", "allowed_symbols"}}), 1.0);

  EXPECT_EQ(failure_of(tool->execute(confirming("nope"))), "工具执行失败: 未找到待确认订单: nope");
  EXPECT_EQ(rig.daily->today_count(), 1u);

  auto sent = tool->execute(confirming(token));
  ASSERT_TRUE(sent.has_value()) << failure_of(sent);
  EXPECT_EQ(text_of(parse_json(*sent), "order_id"), "MOCK-1");
  EXPECT_EQ(rig.daily->today_count(), 2u);
  EXPECT_EQ(rig.backend->order_count(), 1u);
}

TEST(PlaceOrderTool, DirectDailyCeiling) {
  Rig rig;
  RiskLimits limits;
  limits.max_daily_orders = 1;
  auto tool = rig.tool(SafetyMode::Direct, limits);
  ASSERT_TRUE(tool->execute(kBuySmall));
  EXPECT_EQ(failure_of(tool->execute(kBuySmall)), "工具执行失败: 风控拒绝: 单日订单数 2 已超过限额 1");
  EXPECT_EQ(rig.backend->order_count(), 1u);
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "direct"}, {"rule", "max_daily_orders"}}), 1.0);
  EXPECT_EQ(rig.metric("trading_daily_orders_count", {}), 1.0);
  // Each tool counts its own day.
  PlaceOrderTool fresh(rig.backend, SafetyMode::Direct, limits, std::make_shared<DailyCounter>());
  EXPECT_TRUE(fresh.execute(kBuySmall));
}

TEST(PlaceOrderTool, MarketOrderWithoutPriceIsHeldToTheNotionalLimit) {
  Rig rig;
  RiskLimits limits;
  limits.max_order_notional = 1000.0;
  auto tool = rig.tool(SafetyMode::Direct, limits);
  EXPECT_EQ(failure_of(tool->execute(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.1,"order_type":"Market"})")),
            "工具执行失败: 风控拒绝: 单笔金额 5000.00 超过限额 1000.00");
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "direct"}, {"rule", "max_order_notional"}}), 1.0);
  EXPECT_TRUE(tool->execute(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.02,"order_type":"Market"})"));
  EXPECT_EQ(rig.backend->order_count(), 1u);
}

TEST(PlaceOrderTool, UnusableAmountsAreArgumentErrorsThatTouchNothing) {
  const std::pair<std::string, std::string> cases[] = {
      {R"({"symbol":"BTC-USDT","side":"Buy","quantity":-1})",
       "参数解析失败: JSON 解析失败: invalid value: quantity `-1.0`, expected a finite number greater than 0 at line 1 column 48"},
      {R"({"symbol":"BTC-USDT","side":"Sell","quantity":0.0})",
       "参数解析失败: JSON 解析失败: invalid value: quantity `0.0`, expected a finite number greater than 0 at line 1 column 50"},
      {R"({"symbol":"BTC-USDT","side":"Buy","quantity":1,"price":-5})",
       "参数解析失败: JSON 解析失败: invalid value: price `-5.0`, expected a finite number greater than 0 at line 1 column 58"},
      {R"({"symbol":"BTC-USDT","quantity":0.01})", "参数解析失败: JSON 解析失败: missing field `side` at line 1 column 37"},
  };
  for (SafetyMode mode : {SafetyMode::DryRun, SafetyMode::TwoPhase, SafetyMode::Direct}) {
    Rig rig;
    RiskLimits limits;
    limits.max_daily_orders = 5;
    auto tool = rig.tool(mode, limits);
    for (const auto& [args, message] : cases) {
      auto result = tool->execute(args);
      ASSERT_FALSE(result.has_value());
      EXPECT_TRUE(std::holds_alternative<ToolError::InvalidArgs>(result.error().kind));
      EXPECT_EQ(result.error().message(), message);
    }
    EXPECT_EQ(rig.backend->order_count(), 0u);
    EXPECT_EQ(rig.daily->today_count(), 0u);
    EXPECT_EQ(rig.metrics->snapshot().size(), 1u);  // only the gauge: nothing recorded
  }
}

TEST(PlaceOrderTool, BackendFailureIsCountedAsError) {
  Rig rig;
  auto tool = rig.tool(SafetyMode::Direct);
  rig.backend->set_failures({"exchange down", std::nullopt, std::nullopt});
  EXPECT_EQ(failure_of(tool->execute(kBuySmall)), "工具执行失败: 后端调用失败: exchange down");
  EXPECT_EQ(rig.metric("trading_orders_total", {{"mode", "direct"}, {"side", "Buy"}, {"status", "Error"}, {"symbol", "BTC-USDT"}}), 1.0);
}

class ClosedGate final : public RiskGate {
 public:
  std::optional<std::string> is_blocked() const override { return "maintenance"; }
};

TEST(PlaceOrderTool, BlockedGateStopsSending) {
  Rig rig;
  auto tool = rig.tool(SafetyMode::Direct);
  tool->replace_gate(std::make_shared<ClosedGate>());
  EXPECT_EQ(failure_of(tool->execute(kBuySmall)), "工具执行失败: gate blocked: maintenance");
  EXPECT_EQ(rig.metric("trading_gate_blocks_total", {{"mode", "direct"}}), 1.0);
  EXPECT_EQ(rig.backend->order_count(), 0u);
}

TEST(PlaceOrderTool, BreakerKeepsTheFirstTripTime) {
  Rig rig;
  RiskLimits limits;
  limits.allowed_symbols = std::vector<std::string>{"BTC-USDT"};
  auto tool = rig.tool(SafetyMode::Direct, limits);
  auto breaker = std::make_shared<OrderBreaker>();
  breaker->threshold = 2;
  tool->attach_breaker(breaker);
  const char* refused = R"({"symbol":"ETH-USDT","side":"Buy","quantity":1})";
  EXPECT_FALSE(tool->execute(refused));
  EXPECT_EQ(breaker->tripped_at_ms.load(), 0);
  EXPECT_FALSE(tool->execute(refused));
  const int64_t first_trip = breaker->tripped_at_ms.load();
  EXPECT_GT(first_trip, 0);
  breaker->tripped_at_ms.store(first_trip - 1000);  // tell a later trip apart from the first
  EXPECT_FALSE(tool->execute(refused));
  EXPECT_EQ(breaker->tripped_at_ms.load(), first_trip - 1000);
  EXPECT_TRUE(tool->execute(kBuySmall));
  EXPECT_EQ(breaker->consecutive_rejections.load(), 0u);
}

}  // namespace
}  // namespace vesk::trading
