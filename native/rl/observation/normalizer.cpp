#include "rl/observation/normalizer.hpp"

#include <algorithm>
#include <cmath>

#include "rl/clamp.hpp"

namespace vesk::rl {
namespace {
constexpr double kTiny = 1e-8;
}

void Normalizer::update_stats(RunningStats& stats, double x) const {
  stats.count += 1;
  const double d = x - stats.mean;
  stats.mean += d / static_cast<double>(stats.count);
  stats.m2 += d * (x - stats.mean);
  if (!std::isnan(x)) {
    stats.min = std::min(stats.min, x);
    stats.max = std::max(stats.max, x);
  }
  if (stats.samples.size() < RunningStats::kSampleCapacity) stats.samples.push_back(x);
}

void Normalizer::reset(RunningStats& stats) const { stats = RunningStats{}; }

double NoopNormalizer::normalize(const RunningStats&, double x) const { return x; }

double ZScoreNormalizer::normalize(const RunningStats& stats, double x) const {
  if (stats.count <= 1) return 0.0;
  const double sd = std::sqrt(stats.m2 / static_cast<double>(stats.count - 1));
  if (sd < kTiny) return 0.0;
  return clamp_to((x - stats.mean) / sd, -5.0, 5.0);
}

double MinMaxNormalizer::normalize(const RunningStats& stats, double x) const {
  const double range = stats.max - stats.min;  // -inf before any value is fed
  if (range < kTiny) return 0.5;
  return clamp_to((x - stats.min) / range, 0.0, 1.0);
}

double RobustNormalizer::normalize(const RunningStats& stats, double x) const {
  const std::size_t n = stats.samples.size();
  if (n == 0) return 0.0;
  std::vector<double> sorted = stats.samples;
  // A NaN compares as equal to everything; stable_sort stays within bounds regardless.
  std::stable_sort(sorted.begin(), sorted.end());
  const double median = n % 2 == 1 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2.0;
  const double iqr = sorted[3 * n / 4] - sorted[n / 4];
  if (iqr < kTiny) return 0.0;
  return clamp_to((x - median) / iqr, -5.0, 5.0);
}

const Normalizer& normalizer_for(NormalizerKind kind) {
  static const ZScoreNormalizer zscore;
  static const MinMaxNormalizer minmax;
  static const RobustNormalizer robust;
  static const NoopNormalizer noop;
  switch (kind) {
    case NormalizerKind::ZScore: return zscore;
    case NormalizerKind::MinMax: return minmax;
    case NormalizerKind::Robust: return robust;
    case NormalizerKind::Noop: return noop;
  }
  return noop;
}

}  // namespace vesk::rl
