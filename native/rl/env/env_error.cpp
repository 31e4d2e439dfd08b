#include "rl/env/env_error.hpp"

#include <fmt/format.h>

namespace vesk::rl {
namespace {

struct Display {
  std::string operator()(const EnvError::EpisodeDone& e) const {
    return fmt::format("episode already done at step {}", e.step);
  }
  std::string operator()(const EnvError::InvalidAction& e) const {
    return fmt::format("invalid action: {}", e.message);
  }
  std::string operator()(const EnvError::DataExhausted& e) const {
    return fmt::format("data exhausted at step {}, max steps: {}", e.step, e.max_steps);
  }
  std::string operator()(const EnvError::EmptyMarketData&) const { return "market data is empty"; }
  std::string operator()(const EnvError::Observation& e) const {
    return fmt::format("observation computation failed: {}", e.message);
  }
  std::string operator()(const EnvError::Reward& e) const {
    return fmt::format("reward computation failed: {}", e.message);
  }
  std::string operator()(const EnvError::ActionConversion& e) const {
    return fmt::format("action conversion failed: {}", e.message);
  }
  std::string operator()(const EnvError::InvalidActionSpace& e) const {
    return fmt::format("invalid action_space: {}", e.message);
  }
  std::string operator()(const EnvError::InvalidConfig& e) const {
    return fmt::format("invalid config: {}", e.message);
  }
  std::string operator()(const EnvError::InvalidMarketData& e) const {
    return fmt::format("invalid market data: {}", e.message);
  }
};

}  // namespace

std::string EnvError::message() const { return std::visit(Display{}, kind); }

}  // namespace vesk::rl
