#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "trading/mock_backend.hpp"

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

double free_of(MockTradingBackend& b, const std::string& currency) {
  const auto balance = b.get_balance().value();
  auto it = std::ranges::find(balance.currencies, currency, &CurrencyBalance::currency);
  return it == balance.currencies.end() ? -1.0 : it->free;
}

std::optional<PositionSnapshot> position_of(MockTradingBackend& b, const std::string& symbol) {
  const auto positions = b.get_positions().value();
  auto it = std::ranges::find(positions, symbol, &PositionSnapshot::symbol);
  if (it == positions.end()) return std::nullopt;
  return *it;
}

TEST(MockBackend, FillsMoveCashHoldingsAndPositions) {
  struct Case {
    PlaceOrderArgs req;
    double usdt_after;
    std::string base;
    double base_after;
    std::optional<double> position_after;  // nullopt: flat, removed
    double entry_after;
  };
  const Case cases[] = {
      {order("BTC-USDT", OrderSide::Buy, 0.01), 9500.0, "BTC", 0.11, 0.11, 50000.0},
      {order("ETH-USDT", OrderSide::Buy, 1, 2000.0), 8000.0, "ETH", 1.0, 1.0, 2000.0},
      {order("BTC-USDT", OrderSide::Sell, 0.1, 60000.0), 16000.0, "BTC", 0.0, std::nullopt, 0.0},
      {order("BTC-USDT", OrderSide::Sell, 0.3), 25000.0, "BTC", -0.2, -0.2, 50000.0},
      {order("BTC-USDT", OrderSide::Buy, 0.1, 70000.0), 3000.0, "BTC", 0.2, 0.2, 60000.0},
      {order("AAPL", OrderSide::Buy, 0.1, 100.0), 9990.0, "AAPL", 0.1, 0.1, 100.0},
  };
  for (const auto& c : cases) {
    MockTradingBackend b;
    auto ack = b.place_order(c.req);
    ASSERT_TRUE(ack.has_value());
    EXPECT_EQ(ack->order_id, "MOCK-1");
    EXPECT_EQ(ack->status, "Filled");
    EXPECT_FALSE(ack->confirm_token);
    EXPECT_NEAR(free_of(b, "USDT"), c.usdt_after, 1e-9) << c.req.symbol;
    EXPECT_NEAR(free_of(b, c.base), c.base_after, 1e-12) << c.req.symbol;
    const auto pos = position_of(b, c.req.symbol);
    ASSERT_EQ(pos.has_value(), c.position_after.has_value()) << c.req.symbol;
    if (pos) {
      EXPECT_NEAR(pos->quantity, *c.position_after, 1e-12);
      EXPECT_NEAR(pos->entry_price, c.entry_after, 1e-9);
    }
  }
}

TEST(MockBackend, NewPositionStartsWithZeroPnl) {
  MockTradingBackend b;
  ASSERT_TRUE(b.place_order(order("ETH-USDT", OrderSide::Buy, 1, 2000.0)));
  const auto eth = position_of(b, "ETH-USDT").value();
  EXPECT_EQ(eth.unrealized_pnl, 0.0);
  EXPECT_GT(eth.as_of_ms, 1700000000000);
  EXPECT_EQ(b.get_balance()->as_of_ms, 1700000000000);  // fills do not restamp the balance
}

TEST(MockBackend, CancelAndReplaceMessages) {
  MockTradingBackend b;
  ASSERT_TRUE(b.place_order(order("BTC-USDT", OrderSide::Buy, 0.01)));
  struct Case {
    std::function<TradingResult<OrderAck>()> call;
    std::string message;  // empty: succeeds
  };
  const Case cases[] = {
      {[&] { return b.replace_order("MOCK-1", order("ETH-USDT", OrderSide::Buy, 1)); },
       "后端调用失败: replace symbol mismatch: expected BTC-USDT, got ETH-USDT"},
      {[&] { return b.replace_order("MOCK-1", order("BTC-USDT", OrderSide::Sell, 1)); },
       "后端调用失败: replace side mismatch: expected Buy, got Sell"},
      {[&] { return b.replace_order("MOCK-7", order("BTC-USDT", OrderSide::Buy, 1)); },
       "后端调用失败: order MOCK-7 not found"},
      {[&] { return b.cancel_order("MOCK-1"); }, ""},
      {[&] { return b.cancel_order("MOCK-1"); }, "后端调用失败: order MOCK-1 already cancelled"},
      {[&] { return b.cancel_order("MOCK-99"); }, "后端调用失败: order MOCK-99 not found"},
      {[&] { return b.replace_order("MOCK-1", order("BTC-USDT", OrderSide::Buy, 0.5)); }, ""},
      {[&] { return b.cancel_order("MOCK-1"); }, "后端调用失败: order MOCK-1 already cancelled"},
  };
  for (const auto& c : cases) {
    auto result = c.call();
    EXPECT_EQ(result ? std::string() : result.error().message(), c.message);
  }
  EXPECT_EQ(b.order_count(), 1u);
  EXPECT_NEAR(position_of(b, "BTC-USDT")->quantity, 0.11, 1e-12);  // neither cancel nor replace moves the book
}

TEST(MockBackend, CancelAndReplaceAcks) {
  MockTradingBackend b;
  ASSERT_TRUE(b.place_order(order("BTC-USDT", OrderSide::Buy, 0.01)));
  ASSERT_TRUE(b.place_order(order("BTC-USDT", OrderSide::Buy, 0.02)));
  EXPECT_EQ(b.cancel_order("MOCK-2")->status, "Cancelled");
  auto replaced = b.replace_order("MOCK-1", order("BTC-USDT", OrderSide::Buy, 0.5, 1.0));
  EXPECT_EQ(replaced->status, "Replaced");
  EXPECT_EQ(replaced->quantity, 0.5);
}

TEST(MockBackend, InjectedFailuresChangeNothing) {
  MockTradingBackend b;
  b.set_failures({"exchange down", std::nullopt, "positions down"});
  EXPECT_EQ(b.place_order(order("BTC-USDT", OrderSide::Buy, 1)).error().message(), "后端调用失败: exchange down");
  EXPECT_EQ(b.place_order(order("BTC-USDT", OrderSide::Buy, 1)).error().message(), "后端调用失败: exchange down");
  EXPECT_EQ(b.order_count(), 0u);
  EXPECT_EQ(free_of(b, "USDT"), 10000.0);
  // The portfolio reports the positions failure though the balance was read.
  EXPECT_EQ(b.get_portfolio().error().message(), "后端调用失败: positions down");
  b.set_failures({std::nullopt, "balance down", "positions down"});
  EXPECT_EQ(b.get_portfolio().error().message(), "后端调用失败: balance down");
  b.set_failures({});
  ASSERT_TRUE(b.place_order(order("BTC-USDT", OrderSide::Buy, 1)));
  EXPECT_EQ(b.cancel_order("MOCK-1")->order_id, "MOCK-1");  // the sequence did not move while failing
}

TEST(MockBackend, ExpectedFillPriceIsTheAssumedOneWithoutAPrice) {
  MockTradingBackend b;
  EXPECT_EQ(b.expected_fill_price(order("X", OrderSide::Buy, 1)), 50000.0);
  EXPECT_EQ(b.expected_fill_price(order("X", OrderSide::Buy, 1, 12.5)), 12.5);
}

}  // namespace
}  // namespace vesk::trading
