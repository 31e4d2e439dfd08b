#include "rl/observation/feature.hpp"

#include <cmath>
#include <limits>

namespace vesk::rl {
namespace {

using Result = std::expected<double, ObservationError>;

Result not_found(const std::string& name) {
  return std::unexpected(ObservationError{ObservationError::FeatureNotFound{name}});
}

Result price_field(const MarketState& s, const std::string& field) {
  if (field == "open") return s.open;
  if (field == "high") return s.high;
  if (field == "low") return s.low;
  if (field == "close") return s.close;
  if (field == "last") return s.last;
  if (field == "bid") return s.bid.value_or(0.0);
  if (field == "ask") return s.ask.value_or(0.0);
  if (field == "spread") return s.spread.value_or(0.0);
  return not_found(field);
}

Result portfolio_field(const MarketState& s, const std::string& field) {
  if (field == "cash") return s.cash;
  if (field == "position") return s.position;
  if (field == "portfolio_value") return s.portfolio_value;
  if (field == "unrealized_pnl") return s.unrealized_pnl;
  if (field == "realized_pnl") return s.realized_pnl;
  return not_found(field);
}

double time_value(const TimeFeature& feature, std::uint64_t timestamp) {
  constexpr double two_pi = 6.283185307179586;
  const std::uint64_t minute = (timestamp / 60000) % 396;
  struct Visitor {
    std::uint64_t timestamp, minute;
    double operator()(TimeFeature::Minute) const { return static_cast<double>(minute); }
    double operator()(TimeFeature::DayOfWeek) const {
      return static_cast<double>((timestamp / 86400000 + 4) % 7);
    }
    double operator()(TimeFeature::MinutesLeft) const { return static_cast<double>(395 - minute); }
    double operator()(TimeFeature::MinuteSin f) const {
      return std::sin(static_cast<double>(minute) * two_pi / static_cast<double>(f.period));
    }
    double operator()(TimeFeature::MinuteCos f) const {
      return std::cos(static_cast<double>(minute) * two_pi / static_cast<double>(f.period));
    }
  };
  return std::visit(Visitor{timestamp, minute}, feature.kind);
}

double mean_of(std::span<const double> xs) {
  double sum = 0.0;
  for (double x : xs) sum += x;
  return sum / static_cast<double>(xs.size());
}

double population_variance(std::span<const double> xs, double mean) {
  double sum = 0.0;
  for (double x : xs) sum += (x - mean) * (x - mean);
  return sum / static_cast<double>(xs.size());
}

// Mean of the standardised values raised to `power`, less `excess`; 0.0 for a constant series.
double standardised_moment(std::span<const double> xs, int power, double excess) {
  if (xs.empty()) return std::numeric_limits<double>::quiet_NaN();
  const double mean = mean_of(xs);
  const double var = population_variance(xs, mean);
  if (var == 0.0) return 0.0;
  const double sd = std::sqrt(var);
  double sum = 0.0;
  for (double x : xs) sum += std::pow((x - mean) / sd, power);
  return sum / static_cast<double>(xs.size()) - excess;
}

double aggregate(Aggregation aggregation, std::span<const double> xs) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  switch (aggregation) {
    case Aggregation::Mean: return xs.empty() ? nan : mean_of(xs);
    case Aggregation::Std: return xs.empty() ? nan : std::sqrt(population_variance(xs, mean_of(xs)));
    case Aggregation::Max: {
      double m = -inf;
      for (double x : xs) m = std::fmax(m, x);  // fmax ignores NaN
      return m;
    }
    case Aggregation::Min: {
      double m = inf;
      for (double x : xs) m = std::fmin(m, x);
      return m;
    }
    case Aggregation::Last: return xs.empty() ? 0.0 : xs.back();
    case Aggregation::Skew: return standardised_moment(xs, 3, 0.0);
    case Aggregation::Kurtosis: return standardised_moment(xs, 4, 3.0);
  }
  return nan;
}

Result rolling_value(const FeatureSource::Rolling& rolling, std::span<const MarketState> history) {
  if (history.size() < rolling.window) {
    return std::unexpected(
        ObservationError{ObservationError::InsufficientData{rolling.window, history.size()}});
  }
  std::vector<double> values;
  values.reserve(rolling.window);
  for (const MarketState& entry : history.last(rolling.window)) {
    Result inner = extract_feature_value(*rolling.source, entry, {});
    if (!inner) return inner;
    values.push_back(*inner);
  }
  return aggregate(rolling.aggregation, values);
}

}  // namespace

Result extract_feature_value(const FeatureSource& source, const MarketState& state,
                             std::span<const MarketState> history) {
  struct Visitor {
    const MarketState& state;
    std::span<const MarketState> history;
    Result operator()(const FeatureSource::Price& f) const { return price_field(state, f.field); }
    Result operator()(const FeatureSource::Volume& f) const {
      if (f.field == "volume") return state.volume;
      return not_found(f.field);
    }
    Result operator()(const FeatureSource::Portfolio& f) const {
      return portfolio_field(state, f.field);
    }
    Result operator()(const FeatureSource::Time& f) const {
      return time_value(f.kind, state.timestamp);
    }
    Result operator()(const FeatureSource::Derived&) const { return state.last - state.open; }
    Result operator()(const FeatureSource::Rolling& f) const { return rolling_value(f, history); }
  };
  return std::visit(Visitor{state, history}, source.kind);
}

}  // namespace vesk::rl
