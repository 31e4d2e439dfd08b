#include <gtest/gtest.h>

#include <cmath>

#include "walk_forward/evaluation.hpp"

using namespace vesk::walk_forward;

namespace {
std::vector<FoldResult> folds(std::vector<double> returns, std::vector<double> sharpes) {
  std::vector<FoldResult> out;
  for (size_t i = 0; i < returns.size(); ++i) out.push_back({0.0, returns[i], sharpes[i], 0.0});
  return out;
}
constexpr double kGamma = 0.5772156649015329;
}  // namespace

TEST(Aggregate, EmptyListGivesTwelveZeros) {
  const AggregateMetrics m = aggregate_folds({});
  const double* fields = &m.mean_oos_return;
  for (int i = 0; i < 12; ++i) EXPECT_EQ(fields[i], 0.0) << i;
}

TEST(Aggregate, OneFold) {
  const AggregateMetrics m = aggregate_folds(folds({0.02}, {1.5}));
  EXPECT_EQ(m.mean_oos_return, 0.02);
  EXPECT_EQ(m.mean_oos_sharpe, 1.5);
  EXPECT_EQ(m.std_oos_return, 0.0);
  EXPECT_EQ(m.std_oos_sharpe, 0.0);
  EXPECT_EQ(m.median_oos_return, 0.02);
  EXPECT_EQ(m.worst_fold_return, 0.02);
  EXPECT_EQ(m.best_fold_return, 0.02);
  EXPECT_EQ(m.pct_profitable_folds, 1.0);
  EXPECT_EQ(m.sharpe_of_sharpe, 0.0);
  EXPECT_EQ(m.return_autocorrelation, 0.0);
  EXPECT_EQ(m.probability_of_loss, 0.5);
  const double e = std::sqrt(2.0) * (1 - kGamma / 2) + kGamma / (2 * std::sqrt(2.0));
  EXPECT_NEAR(e, 1.2101, 1e-4);
  EXPECT_DOUBLE_EQ(m.deflated_sharpe, normal_cdf(1.5 - e));
}

TEST(Aggregate, OrderStatisticsAndProfitableShare) {
  const AggregateMetrics m = aggregate_folds(folds({0.01, -0.02, 0.03, 0.04}, {1, 2, 3, 4}));
  EXPECT_DOUBLE_EQ(m.median_oos_return, 0.02);
  EXPECT_EQ(m.worst_fold_return, -0.02);
  EXPECT_EQ(m.best_fold_return, 0.04);
  EXPECT_EQ(m.pct_profitable_folds, 0.75);
  EXPECT_NEAR(m.std_oos_sharpe, std::sqrt(5.0 / 3.0), 1e-12);
  EXPECT_NEAR(m.sharpe_of_sharpe, 2.5 / std::sqrt(5.0 / 3.0), 1e-12);
}

TEST(Aggregate, IdenticalSharpesGiveNoSharpeOfSharpeNorDeflatedSharpe) {
  const AggregateMetrics m = aggregate_folds(folds({0.01, 0.02, 0.03}, {1.2, 1.2, 1.2}));
  EXPECT_EQ(m.sharpe_of_sharpe, 0.0);
  EXPECT_EQ(m.deflated_sharpe, 0.0);
}

TEST(Aggregate, AutocorrelationNeedsThreeFolds) {
  EXPECT_EQ(aggregate_folds(folds({0.01, 0.05}, {1, 2})).return_autocorrelation, 0.0);
  // x = (1, 2, 3), y = (2, 3, 4): perfectly correlated.
  EXPECT_NEAR(aggregate_folds(folds({1, 2, 3, 4}, {0, 0, 0, 0})).return_autocorrelation, 1.0, 1e-12);
  // Alternating returns are perfectly anti-correlated.
  EXPECT_NEAR(aggregate_folds(folds({1, -1, 1, -1, 1}, {0, 0, 0, 0, 0})).return_autocorrelation, -1.0, 1e-12);
}

TEST(Aggregate, ProbabilityOfLossFollowsTheReturns) {
  // Mostly winning folds lose rarely, mostly losing ones often; both differ from a coin flip.
  const double winning = aggregate_folds(folds({0.05, 0.04, 0.06, 0.05}, {1, 1, 1, 1})).probability_of_loss;
  const double losing = aggregate_folds(folds({-0.05, -0.04, -0.06, -0.05}, {1, 1, 1, 1})).probability_of_loss;
  EXPECT_LT(winning, 0.01);
  EXPECT_GT(losing, 0.99);
  EXPECT_NEAR(winning + losing, 1.0, 1e-6);
  const std::vector<double> r{0.01, -0.02, 0.03, 0.04};
  const double mean = 0.015, sd = std::sqrt((0.005 * 0.005 + 0.035 * 0.035 + 0.015 * 0.015 + 0.025 * 0.025) / 3);
  EXPECT_NEAR(aggregate_folds(folds(r, {1, 2, 3, 4})).probability_of_loss, normal_cdf(-mean / sd), 1e-12);
  // Degenerate spreads keep the coin flip.
  EXPECT_EQ(aggregate_folds(folds({0.02, 0.02}, {1, 2})).probability_of_loss, 0.5);
  EXPECT_EQ(aggregate_folds(folds({0.02, std::nan("")}, {1, 2})).probability_of_loss, 0.5);
}

TEST(Aggregate, NanReturnsDoNotBreakTheAggregation) {
  const AggregateMetrics m = aggregate_folds(folds({0.01, std::nan(""), -0.02}, {1, 2, 3}));
  EXPECT_EQ(m.worst_fold_return, -0.02);
  EXPECT_EQ(m.best_fold_return, 0.01);
  EXPECT_EQ(m.median_oos_return, 0.01);  // NaN sorts last
  EXPECT_NEAR(m.pct_profitable_folds, 1.0 / 3.0, 1e-15);
}

TEST(DeflatedSharpe, DegenerateInputsAndTheTrialFloor) {
  EXPECT_EQ(deflated_sharpe_ratio(1.0, 0, 0.5), 0.0);
  EXPECT_EQ(deflated_sharpe_ratio(1.0, 10, 1e-10), 0.0);
  EXPECT_EQ(deflated_sharpe_ratio(1.0, 1, 1.0), deflated_sharpe_ratio(1.0, 2, 1.0));
  EXPECT_NE(deflated_sharpe_ratio(1.0, 2, 1.0), deflated_sharpe_ratio(1.0, 100, 1.0));
  // The erf approximation is not exact at 0.
  EXPECT_DOUBLE_EQ(normal_cdf(0.0), 0.5000000005);
  for (double x : {-8.0, -1.0, 0.3, 2.0, 8.0}) EXPECT_NEAR(normal_cdf(x), 0.5 * std::erfc(-x / std::sqrt(2.0)), 2e-7) << x;
}
