#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vesk::rl {

// What the agent sends: an index into a discrete menu or a continuous vector.
struct Action {
  struct Discrete { std::uint64_t index; };
  struct Continuous { std::vector<double> values; };

  std::vector<double> values;  // the index as one float, or the continuous values
  std::variant<Discrete, Continuous> kind;

  static Action discrete(std::uint64_t index) {
    return Action{{static_cast<double>(index)}, Discrete{index}};
  }
  static Action continuous(std::vector<double> values) {
    return Action{values, Continuous{std::move(values)}};
  }
};

enum class TradeSide : std::uint8_t { Buy = 0, Sell = 1 };

struct TradeOrder {
  std::string symbol;
  double quantity = 0.0;  // positive when produced by a converter
  TradeSide side = TradeSide::Buy;
};

enum class Direction : std::uint8_t { LongOnly = 0, ShortOnly = 1, Both = 2 };

// Action 0 holds; 1..b buy i/b of the account; b+1..2b sell (i-b)/b of the position.
struct DiscreteActionSpace {
  std::uint64_t n_quantity_bins = 0;
  std::uint64_t n_actions = 1;  // always 2 * n_quantity_bins + 1
  Direction direction = Direction::Both;

  static DiscreteActionSpace with_bins(std::uint64_t bins, Direction direction) {
    return {bins, 2 * bins + 1, direction};
  }
};

struct ContinuousActionSpace {
  std::vector<std::uint64_t> shape{1};
  double low = -1.0;
  double high = 1.0;
};

// What a converter accepts.
struct ActionSpace {
  std::variant<DiscreteActionSpace, ContinuousActionSpace> kind;
};

}  // namespace vesk::rl
