#pragma once
#include <cstdint>
#include <vector>

namespace vesk::walk_forward {

// One fold's out-of-sample outcome; only test_return and test_sharpe enter the statistics.
struct FoldResult {
  double train_return = 0.0;
  double test_return = 0.0;
  double test_sharpe = 0.0;
  double test_max_drawdown = 0.0;
};

struct AggregateMetrics {
  double mean_oos_return = 0.0;
  double std_oos_return = 0.0;
  double mean_oos_sharpe = 0.0;
  double std_oos_sharpe = 0.0;
  double median_oos_return = 0.0;
  double worst_fold_return = 0.0;
  double best_fold_return = 0.0;
  double pct_profitable_folds = 0.0;  // a fraction in [0, 1]
  double sharpe_of_sharpe = 0.0;
  double return_autocorrelation = 0.0;  // lag 1, in fold order
  double deflated_sharpe = 0.0;
  double probability_of_loss = 0.0;
};

AggregateMetrics aggregate_folds(const std::vector<FoldResult>& folds);

// Probability that the observed Sharpe ratio beats the expected maximum of n_trials
// independent trials with the given spread; 0 when n_trials is 0 or the spread vanishes.
double deflated_sharpe_ratio(double observed_sharpe, uint64_t n_trials, double sharpe_std);

// Standard normal distribution function by the Abramowitz-Stegun erf approximation 7.1.26.
double normal_cdf(double x);

}  // namespace vesk::walk_forward
