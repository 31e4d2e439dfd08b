#pragma once
#include <cstdint>
#include <limits>
#include <vector>

#include "rl/observation/feature.hpp"

namespace vesk::rl {

// The statistics one feature's normaliser reads, fed with that feature's raw values.
struct RunningStats {
  static constexpr std::size_t kSampleCapacity = 1024;

  std::vector<double> samples;  // the first kSampleCapacity values fed, never more
  double mean = 0.0;
  double m2 = 0.0;  // sum of squared deviations from the mean
  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  std::uint64_t count = 0;  // values fed, including those not kept in `samples`

  RunningStats() { samples.reserve(kSampleCapacity); }
};

// A stateless strategy: the state it reads lives in the RunningStats passed to it.
class Normalizer {
 public:
  virtual ~Normalizer() = default;
  virtual double normalize(const RunningStats& stats, double x) const = 0;
  void update_stats(RunningStats& stats, double x) const;
  void reset(RunningStats& stats) const;
};

class NoopNormalizer final : public Normalizer {
 public:
  double normalize(const RunningStats& stats, double x) const override;
};

class ZScoreNormalizer final : public Normalizer {
 public:
  double normalize(const RunningStats& stats, double x) const override;
};

class MinMaxNormalizer final : public Normalizer {
 public:
  double normalize(const RunningStats& stats, double x) const override;
};

class RobustNormalizer final : public Normalizer {
 public:
  double normalize(const RunningStats& stats, double x) const override;
};

// The normaliser a feature of the given kind uses.
const Normalizer& normalizer_for(NormalizerKind kind);

}  // namespace vesk::rl
