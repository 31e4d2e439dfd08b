#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace vesk::rl {

struct EnvError {
  struct EpisodeDone { std::uint64_t step; };
  struct InvalidAction { std::string message; };
  struct DataExhausted { std::uint64_t step; std::uint64_t max_steps; };
  struct EmptyMarketData {};
  struct Observation { std::string message; };
  struct Reward { std::string message; };
  struct ActionConversion { std::string message; };
  // The action-space configuration cannot be acted in (reported at construction).
  struct InvalidActionSpace { std::string message; };
  // A configuration value the account arithmetic cannot carry (reported at construction).
  struct InvalidConfig { std::string message; };
  // Bars the episode cannot start from (reported at construction).
  struct InvalidMarketData { std::string message; };

  std::variant<EpisodeDone, InvalidAction, DataExhausted, EmptyMarketData, Observation, Reward,
               ActionConversion, InvalidActionSpace, InvalidConfig, InvalidMarketData>
      kind;

  std::string message() const;
};

}  // namespace vesk::rl
