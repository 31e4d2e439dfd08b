#include <gtest/gtest.h>

#include "test_support.hpp"
#include "trading/cancel_order_tool.hpp"
#include "trading/mock_backend.hpp"
#include "trading/query_portfolio_tool.hpp"
#include "trading/replace_order_tool.hpp"

namespace vesk::trading {
namespace {

using testing::failure_of;
using testing::number_of;
using testing::parse_json;
using testing::text_of;

struct Rig {
  std::shared_ptr<MockTradingBackend> backend = std::make_shared<MockTradingBackend>();
  std::shared_ptr<TradingMetrics> metrics = std::make_shared<TradingMetrics>();

  Rig() {
    PlaceOrderArgs req;
    req.symbol = "BTC-USDT";
    req.quantity = 0.01;
    EXPECT_TRUE(backend->place_order(req));  // MOCK-1
  }
  CancelOrderTool cancel_tool(RiskLimits limits = {}) {
    CancelOrderTool t(backend, std::move(limits), std::make_shared<DailyCounter>());
    t.attach_metrics(metrics);
    return t;
  }
  ReplaceOrderTool replace_tool(RiskLimits limits = {}) {
    ReplaceOrderTool t(backend, std::move(limits));
    t.attach_metrics(metrics);
    return t;
  }
  double metric(std::string_view name, const LabelMap& labels) const {
    for (const auto& s : metrics->snapshot_filtered(name))
      if (s.labels == labels) return s.value;
    return 0.0;
  }
};

TEST(CancelOrderTool, CancelsOnceAndCountsBothOutcomes) {
  Rig rig;
  auto tool = rig.cancel_tool();
  auto first = tool.execute(R"({"order_id":"MOCK-1"})");
  ASSERT_TRUE(first.has_value()) << failure_of(first);
  EXPECT_EQ(text_of(parse_json(*first), "status"), "Cancelled");
  EXPECT_EQ(failure_of(tool.execute(R"({"order_id":"MOCK-1"})")),
            "工具执行失败: backend cancel failed: 后端调用失败: order MOCK-1 already cancelled");
  EXPECT_EQ(rig.metric("trading_cancels_total", {{"mode", "direct"}, {"status", "Cancelled"}}), 1.0);
  EXPECT_EQ(rig.metric("trading_cancels_total", {{"mode", "direct"}, {"status", "Error"}}), 1.0);
}

TEST(CancelOrderTool, ArgumentErrorsAreTheReaderTextAlone) {
  Rig rig;
  auto tool = rig.cancel_tool();
  const std::pair<const char*, const char*> cases[] = {
      {"{}", "参数解析失败: missing field `order_id` at line 1 column 2"},
      {R"({"order_id":1})", "参数解析失败: invalid type: integer `1`, expected a string at line 1 column 13"},
      {R"({"order_id":"MOCK-1"} x)", "参数解析失败: trailing characters at line 1 column 23"},
  };
  for (const auto& [args, message] : cases) EXPECT_EQ(failure_of(tool.execute(args)), message);
}

TEST(CancelOrderTool, DailyCeilingRefusesBeforeTheBackend) {
  Rig rig;
  RiskLimits limits;
  limits.max_daily_cancels = 0;
  auto tool = rig.cancel_tool(limits);
  EXPECT_EQ(failure_of(tool.execute(R"({"order_id":"MOCK-1"})")),
            "工具执行失败: risk check failed: 风控拒绝: 单日订单数 1 已超过限额 0");
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "direct"}, {"rule", "max_daily_cancels"}}), 1.0);
  // Still not cancelled in the backend.
  EXPECT_EQ(rig.backend->cancel_order("MOCK-1")->status, "Cancelled");
}

TEST(CancelOrderTool, RefusedCancelsUseUpTheCeiling) {
  Rig rig;
  RiskLimits limits;
  limits.max_daily_cancels = 1;
  auto tool = rig.cancel_tool(limits);
  EXPECT_EQ(failure_of(tool.execute(R"({"order_id":"MOCK-9"})")),
            "工具执行失败: backend cancel failed: 后端调用失败: order MOCK-9 not found");
  EXPECT_EQ(failure_of(tool.execute(R"({"order_id":"MOCK-1"})")),
            "工具执行失败: risk check failed: 风控拒绝: 单日订单数 2 已超过限额 1");
}

TEST(ReplaceOrderTool, ChecksTheNewRequestThenReplaces) {
  Rig rig;
  RiskLimits limits;
  limits.allowed_symbols = std::vector<std::string>{"BTC-USDT"};
  limits.max_order_notional = 1000.0;
  auto tool = rig.replace_tool(limits);
  struct Case {
    const char* args;
    std::string message;
  };
  const Case cases[] = {
      {R"({"order_id":"MOCK-1","new_req":{"symbol":"ETH-USDT","side":"Buy","quantity":1}})",
       R"(工具执行失败: risk check failed: 风控拒绝: symbol 'ETH-USDT' 不在白名单 ["BTC-USDT"] 中)"},
      // No price: held to the limit at the mock's fill price.
      {R"({"order_id":"MOCK-1","new_req":{"symbol":"BTC-USDT","side":"Buy","quantity":0.1}})",
       "工具执行失败: risk check failed: 风控拒绝: 单笔金额 5000.00 超过限额 1000.00"},
      {R"({"order_id":"MOCK-1","new_req":{"symbol":"BTC-USDT","side":"Sell","quantity":0.01}})",
       "工具执行失败: backend replace failed: 后端调用失败: replace side mismatch: expected Buy, got Sell"},
      {R"({"order_id":"MOCK-1"})", "参数解析失败: missing field `new_req` at line 1 column 21"},
      {R"({"order_id":"MOCK-1","new_req":{"symbol":"BTC-USDT","side":"Buy","quantity":-2}})",
       "参数解析失败: invalid value: quantity `-2.0`, expected a finite number greater than 0 at line 1 column 79"},
      {R"({"order_id":"MOCK-1","new_req":{"symbol":"BTC-USDT","side":"Buy","quantity":0.015}})", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(failure_of(tool.execute(c.args)), c.message) << c.args;
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "direct"}, {"rule", "allowed_symbols"}}), 1.0);
  EXPECT_EQ(rig.metric("trading_risk_blocks_total", {{"mode", "direct"}, {"rule", "max_order_notional"}}), 1.0);
  EXPECT_EQ(rig.metric("trading_replaces_total", {{"mode", "direct"}, {"status", "Error"}}), 1.0);
  EXPECT_EQ(rig.metric("trading_replaces_total", {{"mode", "direct"}, {"status", "Replaced"}}), 1.0);
  EXPECT_EQ(rig.backend->order_count(), 1u);
}

TEST(QueryPortfolioTool, FiltersPositionsOnlyAndFallsBackToEverything) {
  Rig rig;
  PlaceOrderArgs eth;
  eth.symbol = "ETH-USDT";
  eth.quantity = 1.0;
  eth.price = 2000.0;
  ASSERT_TRUE(rig.backend->place_order(eth));
  QueryPortfolioTool tool(rig.backend);
  struct Case {
    const char* args;
    std::vector<std::string> symbols;
  };
  const Case cases[] = {
      {"{}", {"BTC-USDT", "ETH-USDT"}},
      {"not json", {"BTC-USDT", "ETH-USDT"}},
      {R"({"symbol":3})", {"BTC-USDT", "ETH-USDT"}},
      {R"({} trailing)", {"BTC-USDT", "ETH-USDT"}},
      {R"({"symbol":"BTC-USDT"})", {"BTC-USDT"}},
      {R"({"symbol":"DOGE-USDT"})", {}},
  };
  for (const auto& c : cases) {
    const auto portfolio = parse_json(tool.execute(c.args).value());
    const auto& currencies = *portfolio.find("balance")->find("currencies")->if_array();
    EXPECT_EQ(currencies.size(), 3u) << c.args;  // USDT, BTC, ETH: the balance is never filtered
    std::vector<std::string> symbols;
    for (const auto& p : *portfolio.find("positions")->if_array()) symbols.push_back(text_of(p, "symbol"));
    EXPECT_EQ(symbols, c.symbols) << c.args;
  }
  EXPECT_EQ(number_of(*parse_json(tool.execute("{}").value()).find("balance"), "as_of_ms"), 1700000000000.0);
}

TEST(QueryPortfolioTool, BackendFailureIsTheDisplayedErrorAlone) {
  Rig rig;
  QueryPortfolioTool tool(rig.backend);
  rig.backend->set_failures({std::nullopt, "ledger locked", std::nullopt});
  EXPECT_EQ(failure_of(tool.execute("{}")), "工具执行失败: 后端调用失败: ledger locked");
}

}  // namespace
}  // namespace vesk::trading
