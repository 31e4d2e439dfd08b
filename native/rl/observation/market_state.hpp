#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace vesk::rl {

// One market snapshot with the account as seen at that bar: the input of feature extraction.
struct MarketState {
  std::optional<double> bid;
  std::optional<double> ask;
  std::optional<double> spread;
  std::string symbol;
  std::uint64_t timestamp = 0;  // ms since the Unix epoch
  double open = 0.0;
  double high = 0.0;
  double low = 0.0;
  double close = 0.0;
  double last = 0.0;
  double volume = 0.0;
  double position = 0.0;
  double cash = 0.0;
  double portfolio_value = 0.0;
  double unrealized_pnl = 0.0;
  double realized_pnl = 0.0;
};

}  // namespace vesk::rl
