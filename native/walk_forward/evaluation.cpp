#include "walk_forward/evaluation.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vesk::walk_forward {
namespace {

constexpr double kEulerGamma = 0.5772156649015329;
constexpr double kTiny = 1e-9;

double mean(const std::vector<double>& v) {
  double sum = -0.0;
  for (double x : v) sum += x;
  return sum / static_cast<double>(v.size());
}

// Two passes: the mean first, then the squared deviations (divisor k - 1).
double sample_std(const std::vector<double>& v, double m) {
  double sum = -0.0;
  for (double x : v) sum += (x - m) * (x - m);
  return std::sqrt(sum / static_cast<double>(v.size() - 1));
}

double erf_approx(double z) {
  const double a = std::fabs(z);
  const double t = 1.0 / (1.0 + 0.3275911 * a);
  const double p = t * (0.254829592 + t * (-0.284496736 + t * (1.421413741 + t * (-1.453152027 + t * 1.061405429))));
  const double y = 1.0 - p * std::exp(-a * a);
  return z < 0 ? -y : y;
}

// NaN sorts last so that the comparison stays a strict weak order.
double median(std::vector<double> v) {
  std::sort(v.begin(), v.end(), [](double a, double b) { return std::isnan(b) ? !std::isnan(a) : a < b; });
  const size_t n = v.size();
  return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) * 0.5;
}

double lag1_autocorrelation(const std::vector<double>& r) {
  if (r.size() < 3) return 0.0;
  const std::vector<double> x(r.begin(), r.end() - 1);
  const std::vector<double> y(r.begin() + 1, r.end());
  const double mx = mean(x), my = mean(y);
  const double sx = sample_std(x, mx), sy = sample_std(y, my);
  if (sx < kTiny || sy < kTiny) return 0.0;
  double cov = -0.0;
  for (size_t i = 0; i < x.size(); ++i) cov += (x[i] - mx) * (y[i] - my);
  return cov / static_cast<double>(x.size() - 1) / (sx * sy);
}

}  // namespace

double normal_cdf(double x) { return 0.5 * (1.0 + erf_approx(x / 1.4142135623730951)); }

double deflated_sharpe_ratio(double observed_sharpe, uint64_t n_trials, double sharpe_std) {
  if (n_trials == 0 || std::fabs(sharpe_std) < kTiny) return 0.0;
  const double h = std::max(std::log(static_cast<double>(n_trials)), 1.0);
  const double q = std::sqrt(2.0 * h);
  const double expected_max = q * (1.0 - kEulerGamma / (2.0 * h)) + kEulerGamma / (2.0 * q);
  const double z = ((observed_sharpe - expected_max) / sharpe_std) / 1.4142135623730951;
  return 0.5 * (1.0 + erf_approx(z));
}

AggregateMetrics aggregate_folds(const std::vector<FoldResult>& folds) {
  AggregateMetrics m;
  const size_t n = folds.size();
  if (n == 0) return m;
  std::vector<double> returns, sharpes;
  returns.reserve(n);
  sharpes.reserve(n);
  for (const FoldResult& f : folds) {
    returns.push_back(f.test_return);
    sharpes.push_back(f.test_sharpe);
  }
  m.mean_oos_return = mean(returns);
  m.mean_oos_sharpe = mean(sharpes);
  if (n > 1) {
    m.std_oos_return = sample_std(returns, m.mean_oos_return);
    m.std_oos_sharpe = sample_std(sharpes, m.mean_oos_sharpe);
  }
  m.median_oos_return = median(returns);
  m.worst_fold_return = std::numeric_limits<double>::infinity();
  m.best_fold_return = -std::numeric_limits<double>::infinity();
  size_t profitable = 0;
  for (double r : returns) {
    if (!std::isnan(r)) {
      m.worst_fold_return = std::min(m.worst_fold_return, r);
      m.best_fold_return = std::max(m.best_fold_return, r);
    }
    if (r > 0.0) ++profitable;
  }
  m.pct_profitable_folds = static_cast<double>(profitable) / static_cast<double>(n);
  if (n >= 2 && m.std_oos_sharpe > kTiny) m.sharpe_of_sharpe = m.mean_oos_sharpe / m.std_oos_sharpe;
  m.return_autocorrelation = lag1_autocorrelation(returns);
  m.deflated_sharpe = deflated_sharpe_ratio(m.mean_oos_sharpe, n, n >= 2 ? m.std_oos_sharpe : 1.0);
  m.probability_of_loss = 0.5;
  if (n >= 2) {
    const double return_mean = mean(returns);
    const double return_std = sample_std(returns, return_mean);
    // A fold's chance of losing under a normal fit of the test returns.
    if (return_std > kTiny) m.probability_of_loss = normal_cdf(-return_mean / return_std);
  }
  return m;
}

}  // namespace vesk::walk_forward
