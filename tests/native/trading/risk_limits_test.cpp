#include <gtest/gtest.h>

#include "trading/daily_counter.hpp"
#include "trading/risk_limits.hpp"
#include "trading/risk_rule.hpp"

namespace vesk::trading {
namespace {

PlaceOrderArgs order(std::string symbol, OrderSide side, double quantity, std::optional<double> price = std::nullopt) {
  PlaceOrderArgs req;
  req.symbol = std::move(symbol);
  req.side = side;
  req.quantity = quantity;
  req.price = price;
  return req;
}

const std::vector<PositionSnapshot> kHolding = {{"BTC-USDT", 0.1, 50000.0, 100.0, 0}};

TEST(RiskLimits, RulesInOrderWithTheirMessages) {
  RiskLimits whitelist;
  whitelist.allowed_symbols = std::vector<std::string>{"BTC-USDT"};
  RiskLimits empty_whitelist;
  empty_whitelist.allowed_symbols = std::vector<std::string>{};
  RiskLimits escaped;
  escaped.allowed_symbols = std::vector<std::string>{"A\"B", "C\\D"};
  RiskLimits notional;
  notional.max_order_notional = 1000.0;
  RiskLimits both = whitelist;
  both.max_order_notional = 1000.0;
  RiskLimits position;
  position.max_position_abs = 0.15;

  struct Case {
    const RiskLimits& limits;
    PlaceOrderArgs req;
    std::optional<double> fill_price;
    std::string message;  // empty: passes
  };
  const Case cases[] = {
      {RiskLimits{}, order("ANY", OrderSide::Sell, 1e9, 1e9), std::nullopt, ""},
      {whitelist, order("ETH-USDT", OrderSide::Buy, 1), std::nullopt,
       R"(风控拒绝: symbol 'ETH-USDT' 不在白名单 ["BTC-USDT"] 中)"},
      {whitelist, order("BTC-USDT", OrderSide::Buy, 1), std::nullopt, ""},
      {empty_whitelist, order("BTC-USDT", OrderSide::Buy, 1), std::nullopt, "风控拒绝: symbol 'BTC-USDT' 不在白名单 [] 中"},
      {escaped, order("X", OrderSide::Buy, 1), std::nullopt, R"(风控拒绝: symbol 'X' 不在白名单 ["A\"B", "C\\D"] 中)"},
      {notional, order("BTC-USDT", OrderSide::Buy, 0.1, 20000.0), 20000.0, "风控拒绝: 单笔金额 2000.00 超过限额 1000.00"},
      {notional, order("BTC-USDT", OrderSide::Buy, 0.05, 20000.0), 20000.0, ""},  // equality passes
      // Without a price the notional is taken at the backend's fill price, not skipped.
      {notional, order("BTC-USDT", OrderSide::Buy, 0.1), 50000.0, "风控拒绝: 单笔金额 5000.00 超过限额 1000.00"},
      {notional, order("BTC-USDT", OrderSide::Buy, 0.01), 50000.0, ""},
      {notional, order("BTC-USDT", OrderSide::Buy, 0.1), std::nullopt,
       "风控拒绝: 单笔金额 无法估算 (订单没有价格, 后端也无法给出成交价), 限额 1000.00"},
      {both, order("ETH-USDT", OrderSide::Buy, 0.1, 20000.0), 20000.0,
       R"(风控拒绝: symbol 'ETH-USDT' 不在白名单 ["BTC-USDT"] 中)"},
      {position, order("BTC-USDT", OrderSide::Buy, 0.1), std::nullopt, "风控拒绝: 下单后持仓 0.2000 超过限额 0.1500"},
      {position, order("BTC-USDT", OrderSide::Sell, 0.2), std::nullopt, ""},
      {position, order("BTC-USDT", OrderSide::Buy, 0.04), std::nullopt, ""},
      {position, order("ETH-USDT", OrderSide::Sell, 0.16), std::nullopt, "风控拒绝: 下单后持仓 0.1600 超过限额 0.1500"},
  };
  for (const auto& c : cases) {
    auto result = c.limits.check(c.req, kHolding, c.fill_price);
    EXPECT_EQ(result ? std::string() : result.error().message(), c.message) << c.req.symbol << " " << c.req.quantity;
  }
}

TEST(RiskLimits, RejectionsClassifyByTheirMarkerWords) {
  const std::pair<std::string, RiskRule> cases[] = {
      {"风控拒绝: symbol 'X' 不在白名单 [] 中", RiskRule::AllowedSymbols},
      {"风控拒绝: 单笔金额 无法估算 (订单没有价格, 后端也无法给出成交价), 限额 1.00", RiskRule::MaxOrderNotional},
      {"风控拒绝: 下单后持仓 0.2000 超过限额 0.1500", RiskRule::MaxPositionAbs},
      {"风控拒绝: 工具执行失败: 风控拒绝: 单日订单数 2 已超过限额 1", RiskRule::MaxDailyOrders},
      {"单日撤单", RiskRule::MaxDailyCancels},
      {"风控拒绝: something else", RiskRule::Unknown},
  };
  for (const auto& [text, rule] : cases) EXPECT_EQ(classify_rejection(text), rule) << text;
  EXPECT_EQ(rule_label(RiskRule::MaxDailyCancels), "max_daily_cancels");
  EXPECT_EQ(rule_label(RiskRule::Unknown), "unknown");
}

TEST(DailyCounter, RefusedAttemptsKeepCounting) {
  DailyCounter counter;
  EXPECT_EQ(counter.today_count(), 0u);
  EXPECT_TRUE(counter.increment_and_check(2));
  EXPECT_TRUE(counter.increment_and_check(2));
  EXPECT_EQ(counter.increment_and_check(2).error().message(), "风控拒绝: 单日订单数 3 已超过限额 2");
  EXPECT_EQ(counter.increment_and_check(2).error().message(), "风控拒绝: 单日订单数 4 已超过限额 2");
  EXPECT_EQ(counter.today_count(), 4u);
  DailyCounter zero;
  EXPECT_EQ(zero.increment_and_check(0).error().message(), "风控拒绝: 单日订单数 1 已超过限额 0");
}

TEST(DailyCounter, DayKeyIsWholeUtcDays) {
  EXPECT_EQ(day_key(0), "0");
  EXPECT_EQ(day_key(86'399'999), "0");
  EXPECT_EQ(day_key(86'400'000), "1");
  EXPECT_EQ(day_key(1765238400000), "20431");  // 2025-12-09T00:00:00Z
}

}  // namespace
}  // namespace vesk::trading
