#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/number_format.hpp"
#include "rl/action/continuous_converter.hpp"
#include "rl/action/discrete_converter.hpp"
#include "rl/env/action_decoder.hpp"
#include "rl/env/executor.hpp"

namespace vesk::rl {
namespace {

PortfolioState account(double position, double cash, double value, double price) {
  PortfolioState p;
  p.position = position;
  p.cash = cash;
  p.portfolio_value = value;
  p.last_price = price;
  return p;
}

DiscreteActionConverter discrete(std::uint64_t bins, Direction direction = Direction::Both) {
  return *DiscreteActionConverter::create(DiscreteActionSpace::with_bins(bins, direction), "X");
}

ContinuousActionConverter continuous(double low = -1.0, double high = 1.0) {
  return *ContinuousActionConverter::create({{1}, low, high}, "X");
}

// "hold", "buy 50", "sell 2" or the error text.
std::string describe(const std::expected<std::optional<TradeOrder>, ActionError>& r) {
  if (!r) return r.error().message();
  if (!*r) return "hold";
  return std::string((*r)->side == TradeSide::Buy ? "buy " : "sell ") + display_number((*r)->quantity);
}

TEST(DiscreteConverter, ConvertsIndicesToOrders) {
  const auto converter = discrete(2);
  const PortfolioState holding = account(4, 960, 1000, 10);
  const PortfolioState flat = account(0, 1000, 1000, 10);
  const PortfolioState no_price = account(0, 1000, 1000, 0);
  struct Case {
    PortfolioState portfolio;
    std::uint64_t index;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {holding, 0, "hold"},
      {holding, 1, "buy 50"},
      {holding, 2, "buy 100"},
      {holding, 3, "sell 2"},
      {holding, 4, "sell 4"},
      {holding, 5, "Invalid action index 5 for space of size 5"},
      {flat, 3, "No position to sell: current position = 0"},
      {flat, 4, "No position to sell: current position = 0"},
      {no_price, 1, "hold"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(describe(converter.to_order(Action::discrete(c.index), c.portfolio)), c.expected)
        << "index " << c.index;
  }
  const auto order = converter.to_order(Action::discrete(1), holding);
  EXPECT_EQ((*order)->symbol, "X");
}

TEST(Converters, RefuseActionsOfTheOtherKind) {
  const PortfolioState p = account(0, 1000, 1000, 10);
  EXPECT_EQ(describe(discrete(2).to_order(Action::continuous({0.3}), p)),
            "Continuous action value 0.3 out of range [0, 5]");
  EXPECT_EQ(describe(discrete(2).to_order(Action::continuous({}), p)),
            "Continuous action value 0 out of range [0, 5]");
  EXPECT_EQ(describe(continuous().to_order(Action::discrete(2), p)),
            "Continuous action value 2 out of range [-1, 1]");
  EXPECT_EQ(describe(continuous().to_order(Action::continuous({}), p)),
            "Continuous action value 0 out of range [-1, 1]");
}

TEST(ContinuousConverter, RebalancesTowardsTheTargetWeight) {
  const auto converter = continuous();
  const PortfolioState flat = account(0, 1000, 1000, 10);
  const PortfolioState half = account(50, 500, 1000, 10);
  struct Case {
    PortfolioState portfolio;
    std::vector<double> action;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {flat, {0.5}, "buy 50"},
      {flat, {0.005}, "hold"},
      {flat, {2.0}, "buy 100"},
      {flat, {-0.5}, "sell 50"},
      {flat, {0.5, 9.0}, "buy 50"},
      {half, {0.5}, "hold"},
      {half, {0.2}, "sell 30"},
      {account(0, 0, 0, 10), {0.5}, "hold"},
      {account(0, 1000, 1000, 0), {0.5}, "hold"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(describe(converter.to_order(Action::continuous(c.action), c.portfolio)), c.expected)
        << c.action[0];
  }
  EXPECT_EQ(converter.mask(flat), std::vector<bool>{true});
}

TEST(ContinuousConverter, RefusesBoundsThatCannotClamp) {
  const double nan = std::nan("");
  struct Case {
    double low, high;
    std::string message;
  };
  const std::vector<Case> cases = {
      {2.0, 1.0, "continuous action bounds must be numbers with min <= max, got min 2 and max 1"},
      {nan, 1.0, "continuous action bounds must be numbers with min <= max, got min NaN and max 1"},
      {0.0, nan, "continuous action bounds must be numbers with min <= max, got min 0 and max NaN"},
  };
  for (const Case& c : cases) {
    auto converter = ContinuousActionConverter::create({{1}, c.low, c.high}, "X");
    ASSERT_FALSE(converter.has_value());
    EXPECT_EQ(converter.error().message(), c.message);
  }
  EXPECT_TRUE(ContinuousActionConverter::create({{1}, 0.5, 0.5}, "X").has_value());
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(ContinuousActionConverter::create({{1}, -inf, inf}, "X").has_value());
}

TEST(DiscreteConverter, RefusesSpacesWhoseActionsCannotBeCounted) {
  auto huge = DiscreteActionConverter::create(
      {std::numeric_limits<std::uint64_t>::max() / 2 + 1, 1, Direction::Both}, "X");
  ASSERT_FALSE(huge.has_value());
  EXPECT_EQ(huge.error().message(),
            "n_quantity_bins 9223372036854775808 is too large, at most 9223372036854775807 are "
            "supported");
  auto miscounted = DiscreteActionConverter::create({2, 4, Direction::Both}, "X");
  EXPECT_EQ(miscounted.error().message(), "a discrete space with 2 quantity bins has 5 actions, not 4");
}

TEST(ValidMask, FollowsTheDirection) {
  struct Case {
    Direction direction;
    PortfolioState portfolio;
    std::vector<bool> expected;
  };
  const std::vector<Case> cases = {
      {Direction::Both, account(0, 400, 1000, 10), {true, false, false, false, false}},
      {Direction::Both, account(0, 600, 1000, 10), {true, true, false, false, false}},
      {Direction::Both, account(1, 1000, 1000, 10), {true, true, true, true, true}},
      {Direction::LongOnly, account(0, 0, 1000, 10), {true, true, true, false, false}},
      {Direction::LongOnly, account(2, 0, 1000, 10), {true, true, true, true, true}},
      {Direction::ShortOnly, account(0, 0, 1000, 10), {true, false, false, true, true}},
      {Direction::ShortOnly, account(-1, 0, 1000, 10), {true, true, true, true, true}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(discrete(2, c.direction).mask(c.portfolio), c.expected)
        << static_cast<int>(c.direction);
  }
}

TEST(ActionDecoder, PassesOrdersAndErrorTexts) {
  auto decoder = ActionDecoder::new_discrete(DiscreteActionSpace::with_bins(2, Direction::Both), "X");
  ASSERT_TRUE(decoder.has_value());
  const PortfolioState p = account(0, 1000, 1000, 10);
  EXPECT_FALSE(decoder->decode(Action::discrete(0), p)->has_value());
  EXPECT_EQ((*decoder->decode(Action::discrete(2), p))->quantity, 100);
  EXPECT_EQ(decoder->decode(Action::discrete(9), p).error(),
            "Invalid action index 9 for space of size 5");
  auto bad = ActionDecoder::new_continuous({{1}, 1.0, -1.0}, "X");
  EXPECT_FALSE(bad.has_value());
}

struct Fill {
  TradeSide side;
  double quantity;
  bool filled;
  double fill_price;
  double cost;
};

Executor executor() {
  EnvConfig config;
  config.transaction_cost = 0.001;
  config.slippage = 0.0005;
  return Executor(config);
}

TEST(Executor, FillsAtTheCloseWithSlippageAndFees) {
  struct Case {
    double position, cash;
    TradeOrder order;
    Fill expected;
    double cash_after, position_after;
  };
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const std::vector<Case> cases = {
      {0, 1000, {"X", 5, TradeSide::Buy}, {TradeSide::Buy, 5, true, 100.05, 0.50025}, 499.24975, 5},
      {0, 1000, {"X", 10, TradeSide::Buy}, {TradeSide::Buy, 0, false, 100.05, 0}, 1000, 0},
      {5, 0, {"X", 5, TradeSide::Sell}, {TradeSide::Sell, 5, true, 99.95, 0.49975}, 499.25025, 0},
      {5, 0, {"X", 5.0000000005, TradeSide::Sell}, {TradeSide::Sell, 5.0000000005, true, 99.95, 0.49975}, 499.25025, 0},
      {5, 0, {"X", 6, TradeSide::Sell}, {TradeSide::Sell, 0, false, 99.95, 0}, 0, 5},
      {5, 1000, {"X", 0, TradeSide::Buy}, {TradeSide::Buy, 0, false, 100, 0}, 1000, 5},
      {5, 1000, {"X", -1, TradeSide::Sell}, {TradeSide::Sell, 0, false, 100, 0}, 1000, 5},
      {5, 1000, {"X", nan, TradeSide::Buy}, {TradeSide::Buy, 0, false, 100, 0}, 1000, 5},
      {5, 1000, {"X", inf, TradeSide::Sell}, {TradeSide::Sell, 0, false, 100, 0}, 1000, 5},
  };
  for (const Case& c : cases) {
    PortfolioState p = account(c.position, c.cash, 0, 100);
    const MarketBar bar{0, 100, 100, 100, 100, 1};
    const TradeOrder orders[] = {c.order};
    const auto results = executor().execute(orders, bar, p);
    ASSERT_EQ(results.size(), 1u);
    const ExecutionResult& r = results[0];
    EXPECT_EQ(r.symbol, "X");
    EXPECT_EQ(r.side, c.expected.side);
    EXPECT_EQ(r.filled, c.expected.filled) << c.order.quantity;
    EXPECT_DOUBLE_EQ(r.quantity, c.expected.quantity);
    EXPECT_DOUBLE_EQ(r.fill_price, c.expected.fill_price);
    EXPECT_NEAR(r.cost, c.expected.cost, 1e-9);
    EXPECT_NEAR(p.cash, c.cash_after, 1e-6);
    EXPECT_NEAR(p.position, c.position_after, 1e-9);
  }
}

TEST(Executor, EachOrderSeesTheAccountLeftByThePreviousOne) {
  PortfolioState p = account(0, 1000, 1000, 100);
  const TradeOrder orders[] = {{"X", 5, TradeSide::Buy}, {"X", 5, TradeSide::Buy}};
  const auto results = executor().execute(orders, {0, 100, 100, 100, 100, 1}, p);
  EXPECT_TRUE(results[0].filled);
  EXPECT_FALSE(results[1].filled);
}

TEST(Executor, KeepsAnAverageCostAndRealisesProfitOnSales) {
  EnvConfig config;
  config.transaction_cost = 0.01;
  config.slippage = 0.0;
  const Executor ex(config);
  PortfolioState p = account(0, 10000, 10000, 100);
  ex.execute_one({"X", 10, TradeSide::Buy}, 100, p);  // 1000 + fee 10
  ex.execute_one({"X", 10, TradeSide::Buy}, 200, p);  // 2000 + fee 20
  EXPECT_DOUBLE_EQ(p.cost_basis, 3030);
  EXPECT_DOUBLE_EQ(p.realized_pnl, 0);
  ex.execute_one({"X", 5, TradeSide::Sell}, 300, p);  // net 1500 - 15, a quarter of the basis
  EXPECT_DOUBLE_EQ(p.cost_basis, 3030 * 0.75);
  EXPECT_DOUBLE_EQ(p.realized_pnl, 1485 - 757.5);
  ex.execute_one({"X", 15, TradeSide::Sell}, 100, p);  // the rest, at a loss
  EXPECT_DOUBLE_EQ(p.cost_basis, 0);
  EXPECT_DOUBLE_EQ(p.realized_pnl, (1485 - 757.5) + (1485 - 2272.5));
  // Refused orders move neither.
  ex.execute_one({"X", 1, TradeSide::Sell}, 100, p);
  EXPECT_DOUBLE_EQ(p.cost_basis, 0);
  EXPECT_DOUBLE_EQ(p.realized_pnl, (1485 - 757.5) + (1485 - 2272.5));
}

}  // namespace
}  // namespace vesk::rl
