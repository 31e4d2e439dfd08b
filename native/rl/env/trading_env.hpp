#pragma once
#include <cstdint>
#include <expected>
#include <memory>
#include <vector>

#include "rl/action/portfolio_state.hpp"
#include "rl/env/action_decoder.hpp"
#include "rl/env/env_error.hpp"
#include "rl/env/env_types.hpp"
#include "rl/env/executor.hpp"
#include "rl/observation/observation_space.hpp"
#include "rl/reward/return_history.hpp"
#include "rl/reward/reward_fn.hpp"

namespace vesk::rl {

// Single-instrument, bar-by-bar trading simulation with a Gymnasium-style life cycle.
class TradingEnv {
 public:
  static std::expected<TradingEnv, EnvError> create(EnvConfig config, ActionSpaceConfig action_space,
                                                    std::unique_ptr<ObservationSpace> observation_space,
                                                    std::unique_ptr<RewardFn> reward_fn,
                                                    std::vector<MarketBar> market_data);

  std::expected<Observation, EnvError> reset();
  std::expected<StepResult, EnvError> step(const Action& action);
  // As step, but fills `out`, reusing its storage; `out` is unspecified after a failure.
  std::expected<void, EnvError> step_into(const Action& action, StepResult& out);
  std::expected<Observation, EnvError> build_observation();
  EnvInfo info() const;
  // A Box holding every observation this environment can produce over its bars.
  BoxSpec observation_box() const;

  std::uint64_t current_step() const { return current_step_; }
  bool done() const { return done_; }
  const PortfolioState& portfolio() const { return portfolio_; }
  std::uint64_t trades_executed() const { return trades_executed_; }
  double transaction_costs() const { return transaction_costs_; }
  const EnvConfig& config() const { return config_; }
  const ActionSpaceConfig& action_space() const { return action_space_; }
  const ActionDecoder& decoder() const { return decoder_; }
  std::span<const double> returns() const { return returns_.values(); }
  std::size_t num_bars() const { return market_data_.size(); }

 private:
  TradingEnv(EnvConfig config, ActionSpaceConfig action_space, ActionDecoder decoder,
             std::unique_ptr<ObservationSpace> observation_space, std::unique_ptr<RewardFn> reward_fn,
             std::vector<MarketBar> market_data);

  void start_episode();
  std::expected<void, EnvError> build_observation_into(Observation& out);
  void fill_states(std::uint64_t bar);
  std::expected<void, EnvError> feed_statistics_through(std::uint64_t bar);
  std::expected<double, EnvError> score(const Action& action, std::uint64_t bar);

  EnvConfig config_;
  Executor executor_;
  std::vector<MarketBar> market_data_;  // never empty
  ReturnHistory returns_;
  ActionSpaceConfig action_space_;
  ActionDecoder decoder_;
  std::unique_ptr<ObservationSpace> observation_space_;
  std::unique_ptr<RewardFn> reward_fn_;
  std::uint64_t current_step_ = 0;
  PortfolioState portfolio_;
  std::uint64_t trades_executed_ = 0;
  double transaction_costs_ = 0.0;
  bool done_ = false;
  // Bars whose raw feature values have reached the statistics (bars 0 .. fed_bars_ - 1).
  std::uint64_t fed_bars_ = 0;
  std::vector<MarketState> states_;  // reused market-state list, oldest first, no account
  MarketState current_;              // the current bar with the account, reused
};

}  // namespace vesk::rl
