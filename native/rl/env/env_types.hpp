#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "rl/action/action.hpp"
#include "rl/observation/observation_space.hpp"

namespace vesk::rl {

struct MarketBar {
  std::uint64_t timestamp = 0;  // ms since the Unix epoch
  double open = 0.0;
  double high = 0.0;
  double low = 0.0;
  double close = 0.0;
  double volume = 0.0;
};

struct EnvConfig {
  std::optional<std::uint64_t> seed;  // carried for the caller; the simulation is deterministic
  std::string symbol = "BTCUSDT";
  double initial_capital = 100000.0;
  double transaction_cost = 0.001;  // fee as a fraction of notional
  double slippage = 0.0005;         // fill price worse than the close by this fraction
  std::uint64_t max_steps = 1000;   // step budget of an episode
  std::uint64_t return_window = 252;  // capacity of the return history
};

struct ActionSpaceConfig {
  std::variant<DiscreteActionSpace, ContinuousActionSpace> kind;
};

struct EnvInfo {
  double portfolio_value = 0.0;
  std::uint64_t trades_executed = 0;
  double transaction_costs = 0.0;
  std::uint64_t current_step = 0;
  double initial_capital = 0.0;
  bool done = false;
};

struct StepResult {
  Observation observation;
  double reward = 0.0;
  bool done = false;
  bool truncated = false;  // the step budget, not the data, ended the episode
  EnvInfo info;
};

}  // namespace vesk::rl
