#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rl/reward/pnl_reward.hpp"
#include "rl/reward/return_history.hpp"
#include "rl/reward/sharpe_reward.hpp"

namespace vesk::rl {
namespace {

PortfolioState valued(double value) {
  PortfolioState p;
  p.portfolio_value = value;
  return p;
}

// "pnl", "sharpe" and "sortino" as the environment builds them.
PnLReward pnl() { return PnLReward(1.0, 0.0, false); }
SharpeReward sharpe(bool sortino = false) { return SharpeReward(20, 0.0, 1.0, 10.0, sortino); }

std::string outcome(const std::expected<double, RewardError>& r) {
  if (!r) return r.error().message();
  return fmt::format("{:.6f}", *r);
}

TEST(PnLReward, ScoresTheChangeInValue) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    PnLReward reward;
    double previous, current;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {pnl(), 100000, 100250, "250.000000"},
      {pnl(), 100000, inf, "portfolio value is NaN or infinite: inf"},
      {pnl(), 100000, std::nan(""), "portfolio value is NaN or infinite: NaN"},
      {PnLReward(1.0, 0.0, true), 0, 10, "division by zero in risk calculation"},
      {PnLReward(1.0, 0.0, true), 200, 210, "0.050000"},
      {PnLReward(2.0, 1000.0, true), 200, 210, "0.020000"},
      {PnLReward(0.5, 0.0, false), 10, 4, "-3.000000"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(outcome(c.reward.calculate(valued(c.previous), Action::discrete(0), valued(c.current), {})),
              c.expected);
  }
  EXPECT_EQ(pnl().name(), "absolute_pnl");
  EXPECT_EQ(PnLReward(1.0, 0.0, true).name(), "relative_pnl");
}

TEST(SharpeReward, ScoresRollingRatios) {
  struct Case {
    SharpeReward reward;
    std::vector<double> past;
    double previous, current;
    std::string expected;
  };
  const std::vector<Case> cases = {
      // Fewer than two past returns: the clipped absolute PnL.
      {sharpe(), {}, 1000, 1004, "4.000000"},
      {sharpe(), {0.5}, 1000, 1020, "10.000000"},
      {sharpe(), {}, 1000, 980, "-10.000000"},
      {sharpe(), {0.01, 0.02}, 1000, 1030, "10.000000"},
      {SharpeReward(20, 0.0, 0.1, 10.0, false), {0.01, 0.02}, 1000, 1030,
       fmt::format("{:.6f}", 2.0 * std::sqrt(252.0) * 0.1)},
      {sharpe(), {0.01, 0.01}, 1000, 1010, "0.000000"},
      {sharpe(true), {0.01, 0.02}, 1000, 1030, "10.000000"},
      {sharpe(true), {-0.01, 0.02}, 1000, 1020, "10.000000"},
      {SharpeReward(20, 0.0, 0.1, 10.0, true), {-0.01, 0.02}, 1000, 1020,
       fmt::format("{:.6f}", 0.01 / std::sqrt(0.0001 / 3) * std::sqrt(252.0) * 0.1)},
      {SharpeReward(0, 0.0, 1.0, 10.0, true), {-0.5, -0.5}, 1000, 900, "10.000000"},
      {SharpeReward(0, 0.0, 1.0, 10.0, false), {-0.5, 0.5}, 1000, 900, "0.000000"},
      {sharpe(), {}, 1000, std::nan(""), "portfolio value is NaN or infinite: NaN"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(outcome(c.reward.calculate(valued(c.previous), Action::discrete(0), valued(c.current),
                                         c.past)),
              c.expected)
        << c.reward.name() << " past " << c.past.size() << " current " << c.current;
  }
  EXPECT_EQ(sharpe().name(), "sharpe");
  EXPECT_EQ(sharpe(true).name(), "sortino");
}

TEST(SharpeReward, UsesOnlyTheLastWindowOfReturns) {
  // 11 early returns of -0.5 then 19 alternating ones: only the last 19 and the present count.
  std::vector<double> past(11, -0.5);
  for (int i = 0; i < 19; ++i) past.push_back(i % 2 == 0 ? 0.01 : 0.03);
  const SharpeReward reward(20, 0.0, 0.01, 10.0, false);
  std::vector<double> kept(past.end() - 19, past.end());
  kept.push_back(0.03);
  double mean = 0, var = 0;
  for (double x : kept) mean += x / 20;
  for (double x : kept) var += (x - mean) * (x - mean) / 19;
  auto r = reward.calculate(valued(1000), Action::discrete(0), valued(1030), past);
  EXPECT_NEAR(*r, mean / std::sqrt(var) * std::sqrt(252.0) * 0.01, 1e-12);
}

TEST(ReturnHistory, KeepsTheLatestCapacityValuesOldestFirst) {
  ReturnHistory three(3);
  for (double x : {1.0, 2.0, 3.0, 4.0}) three.push(x);
  EXPECT_EQ(std::vector<double>(three.values().begin(), three.values().end()),
            (std::vector<double>{2, 3, 4}));
  for (double x = 5; x < 1000; ++x) three.push(x);
  EXPECT_EQ(std::vector<double>(three.values().begin(), three.values().end()),
            (std::vector<double>{997, 998, 999}));
  three.clear();
  EXPECT_TRUE(three.values().empty());

  ReturnHistory none(0);
  none.push(1.0);
  EXPECT_TRUE(none.values().empty());

  ReturnHistory huge(std::numeric_limits<std::uint64_t>::max());  // must not reserve it all
  huge.push(1.0);
  EXPECT_EQ(huge.size(), 1u);
}

}  // namespace
}  // namespace vesk::rl
