#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rl/env/trading_env.hpp"
#include "rl/observation/default_observation_space.hpp"
#include "rl/reward/pnl_reward.hpp"
#include "rl/reward/sharpe_reward.hpp"

namespace vesk::rl {
namespace {

// The observation features the Python face fixes: z-scored close and raw volume.
std::unique_ptr<ObservationSpace> default_features() {
  std::vector<FeatureConfig> features = {
      {std::nullopt, "close", {FeatureSource::Price{"close"}}, NormalizerKind::ZScore},
      {std::nullopt, "volume", {FeatureSource::Volume{"volume"}}, NormalizerKind::Noop},
  };
  return std::make_unique<DefaultObservationSpace>(*DefaultObservationSpace::create(1, features));
}

std::vector<MarketBar> bars(std::vector<double> closes) {
  std::vector<MarketBar> out;
  for (std::size_t i = 0; i < closes.size(); ++i) {
    out.push_back({1000 * i, closes[i], closes[i], closes[i], closes[i], 10.0 + i});
  }
  return out;
}

const ActionSpaceConfig kContinuous{ContinuousActionSpace{{1}, -1.0, 1.0}};
const ActionSpaceConfig kDiscrete{DiscreteActionSpace::with_bins(2, Direction::Both)};

TradingEnv make_env(std::vector<double> closes, EnvConfig config = {},
                    ActionSpaceConfig space = kContinuous,
                    std::unique_ptr<RewardFn> reward = std::make_unique<PnLReward>(1.0, 0.0, false)) {
  auto env = TradingEnv::create(std::move(config), std::move(space), default_features(),
                                std::move(reward), bars(std::move(closes)));
  EXPECT_TRUE(env.has_value());
  return std::move(*env);
}

const Action kHold = Action::continuous({0.0});

TEST(TradingEnv, RefusesEmptyDataAndUnusableActionSpaces) {
  auto empty = TradingEnv::create({}, kContinuous, default_features(),
                                  std::make_unique<PnLReward>(1.0, 0.0, false), {});
  EXPECT_EQ(empty.error().message(), "market data is empty");
  auto reversed = TradingEnv::create({}, {ContinuousActionSpace{{1}, 1.0, -1.0}}, default_features(),
                                     std::make_unique<PnLReward>(1.0, 0.0, false), bars({1}));
  EXPECT_EQ(reversed.error().message(),
            "invalid action_space: continuous action bounds must be numbers with min <= max, got "
            "min 1 and max -1");
  auto no_space = TradingEnv::create({}, kContinuous, nullptr,
                                     std::make_unique<PnLReward>(1.0, 0.0, false), bars({1}));
  EXPECT_EQ(no_space.error().message(),
            "observation computation failed: no observation space was given");
  auto no_reward = TradingEnv::create({}, kContinuous, default_features(), nullptr, bars({1}));
  EXPECT_EQ(no_reward.error().message(), "reward computation failed: no reward function was given");
}

TEST(TradingEnv, RefusesValuesTheAccountCannotCarry) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  struct Case {
    double initial_capital, transaction_cost, slippage, first_close;
    std::string message;
  };
  const std::vector<Case> cases = {
      {nan, 0.001, 0.0005, 100, "invalid config: initial_capital must be a finite number, got NaN"},
      {inf, 0.001, 0.0005, 100, "invalid config: initial_capital must be a finite number, got inf"},
      {1e5, nan, 0.0005, 100, "invalid config: transaction_cost must be a finite number, got NaN"},
      {1e5, inf, 0.0005, 100, "invalid config: transaction_cost must be a finite number, got inf"},
      {1e5, 0.001, -inf, 100, "invalid config: slippage must be a finite number, got -inf"},
      {1e5, 0.001, 0.0005, nan,
       "invalid market data: close of the first bar must be a finite number greater than 0, got NaN"},
      {1e5, 0.001, 0.0005, inf,
       "invalid market data: close of the first bar must be a finite number greater than 0, got inf"},
      {1e5, 0.001, 0.0005, 0,
       "invalid market data: close of the first bar must be a finite number greater than 0, got 0"},
      {1e5, 0.001, 0.0005, -2.5,
       "invalid market data: close of the first bar must be a finite number greater than 0, got -2.5"},
  };
  for (const Case& c : cases) {
    EnvConfig config;
    config.initial_capital = c.initial_capital;
    config.transaction_cost = c.transaction_cost;
    config.slippage = c.slippage;
    auto env = TradingEnv::create(config, kContinuous, default_features(),
                                  std::make_unique<PnLReward>(1.0, 0.0, false),
                                  bars({c.first_close, 101, 102}));
    ASSERT_FALSE(env.has_value()) << c.message;
    EXPECT_EQ(env.error().message(), c.message);
  }
  EnvConfig unusual;  // finite but odd values are the caller's business
  unusual.initial_capital = -5;
  unusual.transaction_cost = -0.01;
  unusual.slippage = 2;
  EXPECT_TRUE(TradingEnv::create(unusual, kContinuous, default_features(),
                                 std::make_unique<PnLReward>(1.0, 0.0, false), bars({100, 0}))
                  .has_value());
}

TEST(TradingEnv, EpisodeEndsAtTheLastBar) {
  TradingEnv env = make_env({100, 101, 102});
  auto first = env.step(kHold);
  EXPECT_FALSE(first->done);
  EXPECT_EQ(first->info.current_step, 1u);
  auto second = env.step(kHold);
  EXPECT_TRUE(second->done);
  EXPECT_FALSE(second->truncated);
  EXPECT_EQ(second->info.current_step, 2u);
  auto third = env.step(kHold);
  EXPECT_EQ(third.error().message(), "episode already done at step 2");
}

TEST(TradingEnv, OneBarEndsOnTheFirstStep) {
  TradingEnv env = make_env({100});
  auto first = env.step(Action::discrete(7));  // ignored: there is no next bar
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->reward, 0.0);
  EXPECT_TRUE(first->done);
  EXPECT_FALSE(first->truncated);
  EXPECT_EQ(first->info.current_step, 0u);
  EXPECT_EQ(env.step(kHold).error().message(), "episode already done at step 0");
}

TEST(TradingEnv, TruncatedMarksTheStepBudgetOnly) {
  for (std::uint64_t max_steps : {0u, 1u}) {
    EnvConfig config;
    config.max_steps = max_steps;
    TradingEnv env = make_env({100, 101, 102, 103}, config);
    auto first = env.step(kHold);
    EXPECT_TRUE(first->done) << max_steps;
    EXPECT_TRUE(first->truncated) << max_steps;
  }
  EnvConfig config;
  config.max_steps = 2;
  TradingEnv env = make_env({100, 101, 102, 103}, config);
  EXPECT_FALSE(env.step(kHold)->truncated);
  auto second = env.step(kHold);
  EXPECT_TRUE(second->done);
  EXPECT_TRUE(second->truncated);
}

TEST(TradingEnv, InvalidNextCloseFailsTheStepAndChangesNothing) {
  const double nan = std::nan(""), inf = std::numeric_limits<double>::infinity();
  const std::vector<std::pair<double, std::string>> cases = {
      {0.0, "invalid action: invalid last_price: 0"},
      {-5.0, "invalid action: invalid last_price: -5"},
      {nan, "invalid action: invalid last_price: NaN"},
      {inf, "invalid action: invalid last_price: inf"},
  };
  for (const auto& [next, message] : cases) {
    TradingEnv env = make_env({100, next, 102});
    auto step = env.step(Action::continuous({0.5}));  // would buy 500 units
    ASSERT_FALSE(step.has_value());
    EXPECT_EQ(step.error().message(), message);
    EXPECT_EQ(env.current_step(), 0u);
    EXPECT_EQ(env.trades_executed(), 0u);
    EXPECT_EQ(env.transaction_costs(), 0.0);
    EXPECT_EQ(env.portfolio().position, 0.0);
    EXPECT_EQ(env.portfolio().cash, 100000.0);
  }
}

TEST(TradingEnv, FillsAtTheCloseAndRewardsThePriceMove) {
  TradingEnv too_big = make_env({100, 110, 120});
  auto refused = too_big.step(Action::continuous({1.0}));
  EXPECT_EQ(refused->reward, 0.0);
  EXPECT_EQ(too_big.trades_executed(), 0u);

  TradingEnv env = make_env({100, 110, 120});
  auto step = env.step(Action::continuous({0.5}));
  ASSERT_TRUE(step.has_value());
  EXPECT_NEAR(step->reward, 5000.0, 1e-9);
  EXPECT_EQ(env.trades_executed(), 1u);
  EXPECT_NEAR(env.transaction_costs(), 50.025, 1e-12);
  EXPECT_NEAR(env.portfolio().cash, 49924.975, 1e-9);
  EXPECT_EQ(env.portfolio().position, 500.0);
  EXPECT_NEAR(step->info.portfolio_value, 49924.975 + 500 * 110, 1e-9);
}

TEST(TradingEnv, UnrealisedProfitIsMeasuredAgainstTheCostBasis) {
  EnvConfig config;
  config.transaction_cost = 0.0;
  config.slippage = 0.0;
  TradingEnv env = make_env({100, 110, 120, 130}, config, kDiscrete);
  env.step(Action::discrete(1));  // buys 500 units at 100
  EXPECT_DOUBLE_EQ(env.portfolio().cost_basis, 50000);
  EXPECT_DOUBLE_EQ(env.portfolio().unrealized_pnl, 500 * 10);
  env.step(Action::discrete(3));  // sells 250 units at 110
  EXPECT_DOUBLE_EQ(env.portfolio().cost_basis, 25000);
  EXPECT_DOUBLE_EQ(env.portfolio().realized_pnl, 250 * 10);
  EXPECT_DOUBLE_EQ(env.portfolio().unrealized_pnl, 250 * 20);
  env.reset();
  EXPECT_EQ(env.portfolio().cost_basis, 0.0);
  EXPECT_EQ(env.portfolio().realized_pnl, 0.0);
}

TEST(TradingEnv, ObservationCarriesTheCurrentBar) {
  TradingEnv env = make_env({100, 101, 102, 103, 104});
  auto start = env.reset();
  EXPECT_EQ(start->feature_names, (std::vector<std::string>{"close_t0", "volume_t0"}));
  EXPECT_EQ(start->features[1], 10.0);
  EXPECT_EQ(start->timestamp, 0u);
  for (std::uint64_t i = 1; i < 5; ++i) {
    auto step = env.step(kHold);
    EXPECT_EQ(step->observation.features[1], 10.0 + i) << "volume of bar " << i;
    EXPECT_EQ(step->observation.timestamp, 1000 * i);
  }
}

TEST(TradingEnv, OnlyTheCurrentStateShowsTheAccount) {
  // Portfolio features read the states handed to the space, which carry bars only; the
  // account travels in the current state.
  class Recorder final : public ObservationSpace {
   public:
    std::vector<std::uint64_t> shape() const override { return {1}; }
    std::vector<double> low() const override { return {-5}; }
    std::vector<double> high() const override { return {5}; }
    BoxSpec gymnasium_box() const override { return {}; }
    std::expected<void, ObservationError> build_into(const MarketState& current,
                                                     std::span<const MarketState> states,
                                                     Observation& out) const override {
      out.timestamp = current.timestamp;
      out.features = {current.position, current.cash, current.portfolio_value,
                      current.unrealized_pnl, current.realized_pnl};
      for (const MarketState& s : states) {
        out.features.push_back(s.position + s.cash + s.portfolio_value + s.unrealized_pnl +
                               s.realized_pnl);
      }
      return {};
    }
    std::vector<std::string> feature_names() const override { return {}; }
    std::size_t num_features() const override { return 1; }
    std::expected<void, ObservationError> observe(std::span<const MarketState>) override {
      return {};
    }
    void reset_stats() override {}
    BoxSpec observed_box(std::span<const MarketState>) const override { return {}; }
  };
  EnvConfig config;
  config.transaction_cost = 0.0;
  config.slippage = 0.0;
  auto env = TradingEnv::create(config, kDiscrete, std::make_unique<Recorder>(),
                                std::make_unique<PnLReward>(1.0, 0.0, false),
                                bars({100, 110, 120, 130}));
  env->step(Action::discrete(1));  // buys 500 units at 100
  auto sold = env->step(Action::discrete(4));  // sells them at 110, realising 5000
  ASSERT_TRUE(sold.has_value());
  ASSERT_EQ(env->portfolio().realized_pnl, 5000.0);
  EXPECT_EQ(sold->observation.features,
            (std::vector<double>{0, 105000, 105000, 0, 0, 0, 0}));  // bars 1 and 2
}

TEST(TradingEnv, ZScoredCloseUsesOnlyTheBarsReachedSoFar) {
  TradingEnv env = make_env({100, 101, 102, 110, 90});
  EXPECT_EQ(env.reset()->features[0], 0.0);  // one value: no spread yet
  // After bars 100, 101: mean 100.5, sample sd 0.7071 -> 0.7071.
  EXPECT_NEAR(env.step(kHold)->observation.features[0], 0.5 / std::sqrt(0.5), 1e-12);
  EXPECT_NEAR(env.step(kHold)->observation.features[0], 1.0, 1e-12);  // 100, 101, 102
  const double z = env.step(kHold)->observation.features[0];  // 100, 101, 102, 110
  EXPECT_NEAR(z, (110 - 103.25) / std::sqrt((10.5625 + 5.0625 + 1.5625 + 45.5625) / 3), 1e-12);
  // A reset forgets the statistics: the first bar is again the only value.
  EXPECT_EQ(env.reset()->features[0], 0.0);
  EXPECT_NEAR(env.step(kHold)->observation.features[0], 0.5 / std::sqrt(0.5), 1e-12);
}

TEST(TradingEnv, SteppingWithoutResetStartsFromTheFirstBar) {
  TradingEnv fresh = make_env({100, 101, 102});
  TradingEnv reset_first = make_env({100, 101, 102});
  reset_first.reset();
  auto a = fresh.step(kHold);
  auto b = reset_first.step(kHold);
  EXPECT_EQ(a->observation.features, b->observation.features);
  EXPECT_EQ(a->info.current_step, 1u);
}

TEST(TradingEnv, ResetStartsAFreshEpisode) {
  TradingEnv env = make_env({100, 110, 120});
  env.step(Action::continuous({0.5}));
  env.step(kHold);
  ASSERT_TRUE(env.done());
  auto obs = env.reset();
  ASSERT_TRUE(obs.has_value());
  EXPECT_EQ(obs->timestamp, 0u);
  EXPECT_FALSE(env.done());
  EXPECT_EQ(env.current_step(), 0u);
  EXPECT_EQ(env.portfolio().cash, 100000.0);
  EXPECT_EQ(env.portfolio().position, 0.0);
  EXPECT_EQ(env.trades_executed(), 0u);
  EXPECT_TRUE(env.returns().empty());
}

TEST(TradingEnv, ActionFailuresLeaveTheEnvironmentUnchanged) {
  TradingEnv env = make_env({100, 110, 120});
  auto wrong_kind = env.step(Action::discrete(2));
  EXPECT_EQ(wrong_kind.error().message(),
            "action conversion failed: Continuous action value 2 out of range [-1, 1]");
  EXPECT_EQ(env.current_step(), 0u);
  EXPECT_FALSE(env.done());
}

TEST(TradingEnv, ReturnWindowBoundsTheHistoryTheRewardSees) {
  EnvConfig none;
  none.return_window = 0;
  TradingEnv flat = make_env({1000, 1004, 1010, 1030}, none, kContinuous,
                             std::make_unique<SharpeReward>(20, 0.0, 1.0, 10.0, false));
  flat.step(Action::continuous({0.5}));
  flat.step(kHold);
  EXPECT_TRUE(flat.returns().empty());

  TradingEnv env = make_env({1000, 1004, 1010, 1030, 1040}, {}, kContinuous,
                            std::make_unique<SharpeReward>(20, 0.0, 1.0, 10.0, false));
  for (int i = 0; i < 4; ++i) env.step(Action::continuous({0.5}));
  EXPECT_EQ(env.returns().size(), 4u);
}

TEST(TradingEnv, StepIntoReusesTheResult) {
  TradingEnv env = make_env({100, 101, 102, 103});
  StepResult result;
  ASSERT_TRUE(env.step_into(kHold, result).has_value());
  const double* storage = result.observation.features.data();
  ASSERT_TRUE(env.step_into(kHold, result).has_value());
  EXPECT_EQ(result.observation.features.data(), storage);
  EXPECT_EQ(result.info.current_step, 2u);
}

TEST(TradingEnv, ObservationBoxHoldsEveryObservation) {
  TradingEnv env = make_env({100, 101, 102, 50, 200});
  const BoxSpec box = env.observation_box();
  EXPECT_EQ(box.shape, std::vector<std::uint64_t>{2});
  EXPECT_EQ(box.low, (std::vector<double>{-5, 10}));
  EXPECT_EQ(box.high, (std::vector<double>{5, 14}));
}

}  // namespace
}  // namespace vesk::rl
