#include "rl/env/trading_env.hpp"

#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <optional>
#include <utility>

#include "core/number_format.hpp"

namespace vesk::rl {
namespace {

std::expected<ActionDecoder, ActionError> make_decoder(const ActionSpaceConfig& space,
                                                       const std::string& symbol) {
  if (const auto* discrete = std::get_if<DiscreteActionSpace>(&space.kind)) {
    return ActionDecoder::new_discrete(*discrete, symbol);
  }
  return ActionDecoder::new_continuous(std::get<ContinuousActionSpace>(space.kind), symbol);
}

void set_bar(MarketState& state, const MarketBar& bar) {
  state.timestamp = bar.timestamp;
  state.open = bar.open;
  state.high = bar.high;
  state.low = bar.low;
  state.close = bar.close;
  state.last = bar.close;
  state.volume = bar.volume;
}

// Only the current state shows the account, and without its realised profit.
void set_account(MarketState& state, const PortfolioState& p) {
  state.position = p.position;
  state.cash = p.cash;
  state.portfolio_value = p.portfolio_value;
  state.unrealized_pnl = p.unrealized_pnl;
  state.realized_pnl = 0.0;
}

// NaN or infinite money or fee rates would spread into cash and every value after it.
std::optional<EnvError> invalid_config(const EnvConfig& config) {
  const std::pair<const char*, double> amounts[] = {
      {"initial_capital", config.initial_capital},
      {"transaction_cost", config.transaction_cost},
      {"slippage", config.slippage},
  };
  for (const auto& [name, value] : amounts) {
    if (!std::isfinite(value)) {
      return EnvError{EnvError::InvalidConfig{
          fmt::format("{} must be a finite number, got {}", name, display_number(value))}};
    }
  }
  return std::nullopt;
}

EnvError observation_failed(const ObservationError& e) {
  return EnvError{EnvError::Observation{e.message()}};
}

}  // namespace

std::expected<TradingEnv, EnvError> TradingEnv::create(
    EnvConfig config, ActionSpaceConfig action_space,
    std::unique_ptr<ObservationSpace> observation_space, std::unique_ptr<RewardFn> reward_fn,
    std::vector<MarketBar> market_data) {
  if (market_data.empty()) return std::unexpected(EnvError{EnvError::EmptyMarketData{}});
  if (!observation_space) {
    return std::unexpected(EnvError{EnvError::Observation{"no observation space was given"}});
  }
  if (!reward_fn) return std::unexpected(EnvError{EnvError::Reward{"no reward function was given"}});
  if (auto invalid = invalid_config(config)) return std::unexpected(std::move(*invalid));
  // Later closes are checked as the episode steps onto them; the first one never is, yet the
  // first step values the account at it.
  const double first_close = market_data.front().close;
  if (!std::isfinite(first_close) || first_close <= 0) {
    return std::unexpected(EnvError{EnvError::InvalidMarketData{fmt::format(
        "close of the first bar must be a finite number greater than 0, got {}",
        display_number(first_close))}});
  }
  auto decoder = make_decoder(action_space, config.symbol);
  if (!decoder) {
    return std::unexpected(EnvError{EnvError::InvalidActionSpace{decoder.error().message()}});
  }
  return TradingEnv(std::move(config), std::move(action_space), std::move(*decoder),
                    std::move(observation_space), std::move(reward_fn), std::move(market_data));
}

TradingEnv::TradingEnv(EnvConfig config, ActionSpaceConfig action_space, ActionDecoder decoder,
                       std::unique_ptr<ObservationSpace> observation_space,
                       std::unique_ptr<RewardFn> reward_fn, std::vector<MarketBar> market_data)
    : config_(std::move(config)),
      executor_(config_),
      market_data_(std::move(market_data)),
      returns_(config_.return_window),
      action_space_(std::move(action_space)),
      decoder_(std::move(decoder)),
      observation_space_(std::move(observation_space)),
      reward_fn_(std::move(reward_fn)) {
  start_episode();
}

void TradingEnv::start_episode() {
  current_step_ = 0;
  trades_executed_ = 0;
  transaction_costs_ = 0.0;
  done_ = false;
  portfolio_ = PortfolioState{};
  portfolio_.cash = config_.initial_capital;
  portfolio_.portfolio_value = config_.initial_capital;
  portfolio_.last_price = market_data_.front().close;
  returns_.clear();
  fed_bars_ = 0;
}

std::expected<Observation, EnvError> TradingEnv::reset() {
  start_episode();
  observation_space_->reset_stats();
  reward_fn_->reset();
  return build_observation();
}

std::expected<Observation, EnvError> TradingEnv::build_observation() {
  Observation out;
  if (auto built = build_observation_into(out); !built) return std::unexpected(built.error());
  return out;
}

std::expected<StepResult, EnvError> TradingEnv::step(const Action& action) {
  StepResult out;
  if (auto stepped = step_into(action, out); !stepped) return std::unexpected(stepped.error());
  return out;
}

std::expected<void, EnvError> TradingEnv::step_into(const Action& action, StepResult& out) {
  const std::uint64_t t = current_step_;
  if (done_) return std::unexpected(EnvError{EnvError::EpisodeDone{t}});
  out.truncated = false;
  if (t + 1 >= market_data_.size()) {
    // No next bar: the episode ends here and the action is ignored.
    done_ = true;
    out.reward = 0.0;
  } else {
    auto order = decoder_.decode(action, portfolio_);
    if (!order) return std::unexpected(EnvError{EnvError::ActionConversion{order.error()}});
    // Checked before the fill so that a refused step leaves the account untouched.
    const double next_price = market_data_[t + 1].close;
    if (!std::isfinite(next_price) || next_price <= 0) {
      return std::unexpected(EnvError{EnvError::InvalidAction{
          fmt::format("invalid last_price: {}", display_number(next_price))}});
    }
    if (*order) {
      const ExecutionResult fill = executor_.execute_one(**order, market_data_[t].close, portfolio_);
      if (fill.filled) {
        trades_executed_ += 1;
        transaction_costs_ += fill.cost;
      }
    }
    portfolio_.portfolio_value = portfolio_.cash + portfolio_.position * next_price;
    portfolio_.unrealized_pnl = portfolio_.position * next_price - portfolio_.cost_basis;
    portfolio_.last_price = next_price;
    current_step_ = t + 1;
    auto reward = score(action, t);
    if (!reward) return std::unexpected(reward.error());
    out.reward = *reward;
    out.truncated = t + 1 >= config_.max_steps;
    if (t + 2 >= market_data_.size() || out.truncated) done_ = true;
  }
  if (auto built = build_observation_into(out.observation); !built) {
    return std::unexpected(built.error());
  }
  out.done = done_;
  out.info = info();
  return {};
}

// Scores the price move from bar t's close to the next; fees and slippage are already in both
// values, so the reward reflects the move only.
std::expected<double, EnvError> TradingEnv::score(const Action& action, std::uint64_t t) {
  const double close = market_data_[t].close;
  PortfolioState previous{};
  previous.position = portfolio_.position;
  previous.cash = portfolio_.cash;
  previous.portfolio_value = portfolio_.cash + portfolio_.position * close;
  previous.cost_basis = portfolio_.cost_basis;
  previous.realized_pnl = portfolio_.realized_pnl;
  previous.last_price = close;
  if (previous.portfolio_value <= 0) return 0.0;
  auto reward = reward_fn_->calculate(previous, action, portfolio_, returns_.values());
  if (!reward) return std::unexpected(EnvError{EnvError::Reward{reward.error().message()}});
  returns_.push((portfolio_.portfolio_value - previous.portfolio_value) / previous.portfolio_value);
  return *reward;
}

EnvInfo TradingEnv::info() const {
  return {portfolio_.portfolio_value, trades_executed_, transaction_costs_, current_step_,
          config_.initial_capital, done_};
}

// The states for bar `bar` and up to num_features() bars before it, oldest first. They carry
// bars only (account fields 0.0): past account values are not kept.
void TradingEnv::fill_states(std::uint64_t bar) {
  const std::uint64_t lookback = std::min<std::uint64_t>(bar, observation_space_->num_features());
  const std::uint64_t start = bar - lookback;
  states_.resize(static_cast<std::size_t>(lookback + 1));
  for (std::uint64_t j = start; j <= bar; ++j) {
    MarketState& state = states_[static_cast<std::size_t>(j - start)];
    state.symbol = config_.symbol;  // same text each time, so no allocation after the first
    set_bar(state, market_data_[static_cast<std::size_t>(j)]);
  }
}

// Each bar reaches the statistics once, when the environment first shows it; a bar skipped by
// stepping without reset (bar 0) or by a failed step is caught up first.
std::expected<void, EnvError> TradingEnv::feed_statistics_through(std::uint64_t bar) {
  for (; fed_bars_ <= bar; ++fed_bars_) {
    fill_states(fed_bars_);
    if (auto fed = observation_space_->observe(states_); !fed) {
      return std::unexpected(observation_failed(fed.error()));
    }
  }
  return {};
}

std::expected<void, EnvError> TradingEnv::build_observation_into(Observation& out) {
  const std::uint64_t i = current_step_;
  const bool unfed = fed_bars_ <= i;  // feeding bar i leaves its states in states_
  if (auto fed = feed_statistics_through(i); !fed) return fed;
  if (!unfed) fill_states(i);
  current_.symbol = config_.symbol;
  set_bar(current_, market_data_[static_cast<std::size_t>(i)]);
  set_account(current_, portfolio_);
  if (auto built = observation_space_->build_into(current_, states_, out); !built) {
    return std::unexpected(observation_failed(built.error()));
  }
  return {};
}

BoxSpec TradingEnv::observation_box() const {
  constexpr std::size_t kChunk = 4096;
  std::vector<MarketState> chunk;
  BoxSpec box;
  for (std::size_t first = 0; first < market_data_.size(); first += kChunk) {
    const std::size_t last = std::min(first + kChunk, market_data_.size());
    chunk.resize(last - first);
    for (std::size_t j = first; j < last; ++j) set_bar(chunk[j - first], market_data_[j]);
    BoxSpec part = observation_space_->observed_box(chunk);
    if (box.low.empty()) {
      box = std::move(part);
      continue;
    }
    for (std::size_t k = 0; k < box.low.size(); ++k) {
      box.low[k] = std::fmin(box.low[k], part.low[k]);
      box.high[k] = std::fmax(box.high[k], part.high[k]);
    }
  }
  return box;
}

}  // namespace vesk::rl
