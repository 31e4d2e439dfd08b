#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "rl/observation/default_observation_space.hpp"
#include "rl/observation/feature.hpp"
#include "rl/observation/normalizer.hpp"

namespace vesk::rl {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

FeatureConfig feature(std::string name, FeatureSource source,
                      NormalizerKind normalizer = NormalizerKind::Noop) {
  return FeatureConfig{std::nullopt, std::move(name), std::move(source), normalizer};
}

FeatureConfig close_feature(NormalizerKind normalizer = NormalizerKind::Noop) {
  return feature("close", {FeatureSource::Price{"close"}}, normalizer);
}

MarketState state_with_close(double close, std::uint64_t timestamp = 0) {
  MarketState s;
  s.close = close;
  s.last = close;
  s.timestamp = timestamp;
  return s;
}

FeatureSource rolling(Aggregation aggregation, std::uint64_t window) {
  auto inner = std::make_shared<const FeatureSource>(FeatureSource{FeatureSource::Price{"close"}});
  return {FeatureSource::Rolling{inner, window, aggregation}};
}

TEST(ObservationSpaceValidation, ReportsTheFirstFailureInOrder) {
  struct Case {
    std::vector<FeatureConfig> features;
    std::uint64_t window;
    std::string message;
  };
  FeatureConfig clipped = close_feature();
  clipped.clip = ClipBounds{2.0, 1.0};
  FeatureConfig nan_clip = close_feature();
  nan_clip.clip = ClipBounds{std::nan(""), 1.0};
  const std::vector<Case> cases = {
      {{}, 1, "Feature count mismatch: expected 1, got 0"},
      {{}, 0, "Feature count mismatch: expected 1, got 0"},
      {{close_feature()}, 0, "Window size must be > 0, got 0"},
      {{close_feature(), close_feature()}, 1, "Normalization failed: Duplicate feature name: close"},
      {{clipped}, 1,
       "Normalization failed: clip bounds of feature close must be numbers with min <= max, got "
       "min 2 and max 1"},
      {{nan_clip}, 1,
       "Normalization failed: clip bounds of feature close must be numbers with min <= max, got "
       "min NaN and max 1"},
  };
  for (const Case& c : cases) {
    auto result = validate_observation_space(c.features, c.window);
    ASSERT_FALSE(result.has_value()) << c.message;
    EXPECT_EQ(result.error().message(), c.message);
  }
}

TEST(DefaultObservationSpace, DescribesItsShapeAndNames) {
  auto space = DefaultObservationSpace::create(
      3, {close_feature(), feature("volume", {FeatureSource::Volume{"volume"}})});
  ASSERT_TRUE(space.has_value());
  EXPECT_EQ(space->num_features(), 6u);
  EXPECT_EQ(space->shape(), std::vector<std::uint64_t>{6});
  EXPECT_EQ(space->low(), std::vector<double>(6, -5.0));
  EXPECT_EQ(space->high(), std::vector<double>(6, 5.0));
  const BoxSpec box = space->gymnasium_box();
  EXPECT_EQ(box.shape, std::vector<std::uint64_t>{6});
  EXPECT_EQ(box.dtype, 0);

  auto two = DefaultObservationSpace::create(
      2, {close_feature(), feature("volume", {FeatureSource::Volume{"volume"}})});
  EXPECT_EQ(two->feature_names(),
            (std::vector<std::string>{"close_t0", "close_t1", "volume_t0", "volume_t1"}));
}

TEST(DefaultObservationSpace, BuildTakesTheLastWindowEntriesOldestFirst) {
  // "previous" reads the entry before each one, which makes the history of each entry visible.
  auto space = DefaultObservationSpace::create(
      2, {close_feature(), feature("previous", rolling(Aggregation::Last, 1))});
  ASSERT_TRUE(space.has_value());
  const std::vector<MarketState> states = {state_with_close(1), state_with_close(2),
                                           state_with_close(3, 77)};
  auto obs = space->build(states.back(), states);
  ASSERT_TRUE(obs.has_value());
  EXPECT_EQ(obs->timestamp, 77u);
  EXPECT_EQ(obs->features, (std::vector<double>{2, 3, 1, 2}));
  EXPECT_EQ(obs->feature_names,
            (std::vector<std::string>{"close_t1", "close_t0", "previous_t1", "previous_t0"}));

  auto close_only = DefaultObservationSpace::create(2, {close_feature()});
  auto one = close_only->build(states[0], std::span(states).first(1));
  EXPECT_EQ(one->features, (std::vector<double>{1}));
  EXPECT_EQ(one->feature_names, (std::vector<std::string>{"close_t0"}));

  auto none = close_only->build(state_with_close(0, 5), {});
  EXPECT_TRUE(none->features.empty());
  EXPECT_TRUE(none->feature_names.empty());
  EXPECT_EQ(none->timestamp, 5u);
}

TEST(FeatureExtraction, ReadsNamedFieldsAndCalendarValues) {
  MarketState s = state_with_close(10);
  s.open = 4;
  s.volume = 7;
  s.cash = 3;
  struct Case {
    FeatureSource source;
    std::uint64_t timestamp;
    double expected;
  };
  const std::uint64_t minute = 60000, day = 86400000;
  const std::vector<Case> cases = {
      {{FeatureSource::Price{"close"}}, 0, 10},
      {{FeatureSource::Price{"bid"}}, 0, 0.0},
      {{FeatureSource::Volume{"volume"}}, 0, 7},
      {{FeatureSource::Portfolio{"cash"}}, 0, 3},
      {{FeatureSource::Derived{"move", {"x"}}}, 0, 6},
      {{FeatureSource::Time{{TimeFeature::Minute{}}}}, 0, 0},
      {{FeatureSource::Time{{TimeFeature::Minute{}}}}, 396 * minute, 0},
      {{FeatureSource::Time{{TimeFeature::Minute{}}}}, 397 * minute, 1},
      {{FeatureSource::Time{{TimeFeature::MinutesLeft{}}}}, 0, 395},
      {{FeatureSource::Time{{TimeFeature::DayOfWeek{}}}}, 0, 4},
      {{FeatureSource::Time{{TimeFeature::DayOfWeek{}}}}, 3 * day, 0},
      {{FeatureSource::Time{{TimeFeature::MinuteCos{4}}}}, 2 * minute, -1},
  };
  for (const Case& c : cases) {
    s.timestamp = c.timestamp;
    auto value = extract_feature_value(c.source, s, {});
    ASSERT_TRUE(value.has_value());
    EXPECT_NEAR(*value, c.expected, 1e-12);
  }
  s.timestamp = minute;
  EXPECT_TRUE(std::isnan(*extract_feature_value({FeatureSource::Time{{TimeFeature::MinuteSin{0}}}}, s, {})));
}

TEST(FeatureExtraction, RefusesNamesOutsideTheirVariant) {
  const std::vector<std::pair<FeatureSource, std::string>> cases = {
      {{FeatureSource::Price{"volume"}}, "Feature 'volume' not found in feature set"},
      {{FeatureSource::Price{""}}, "Feature '' not found in feature set"},
      {{FeatureSource::Volume{"close"}}, "Feature 'close' not found in feature set"},
      {{FeatureSource::Portfolio{"Cash"}}, "Feature 'Cash' not found in feature set"},
  };
  for (const auto& [source, message] : cases) {
    auto value = extract_feature_value(source, MarketState{}, {});
    ASSERT_FALSE(value.has_value());
    EXPECT_EQ(value.error().message(), message);
  }
}

TEST(FeatureExtraction, RollingAggregatesTheLastWindowOfHistory) {
  std::vector<MarketState> history;
  for (double c : {1.0, 2.0, 3.0, 4.0, 5.0}) history.push_back(state_with_close(c));
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Last, 3), {}, history), 5.0);
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Mean, 3), {}, history), 4.0);
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Max, 3), {}, history), 5.0);
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Min, 3), {}, history), 3.0);
  EXPECT_NEAR(*extract_feature_value(rolling(Aggregation::Std, 2), {}, history), 0.5, 1e-12);

  auto short_history = extract_feature_value(rolling(Aggregation::Last, 3), {},
                                             std::span(history).first(2));
  ASSERT_FALSE(short_history.has_value());
  EXPECT_EQ(short_history.error().message(), "Insufficient data: need 3 ticks, have 2");

  auto nested = std::make_shared<const FeatureSource>(rolling(Aggregation::Last, 1));
  auto inner_fails = extract_feature_value({FeatureSource::Rolling{nested, 2, Aggregation::Mean}},
                                           {}, history);
  EXPECT_EQ(inner_fails.error().message(), "Insufficient data: need 1 ticks, have 0");
}

TEST(FeatureExtraction, RollingEdgeValues) {
  const std::vector<MarketState> constant(4, state_with_close(2));
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Skew, 4), {}, constant), 0.0);
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Kurtosis, 4), {}, constant), 0.0);
  EXPECT_TRUE(std::isnan(*extract_feature_value(rolling(Aggregation::Mean, 0), {}, constant)));
  EXPECT_TRUE(std::isnan(*extract_feature_value(rolling(Aggregation::Std, 0), {}, constant)));
  EXPECT_TRUE(std::isnan(*extract_feature_value(rolling(Aggregation::Skew, 0), {}, constant)));
  EXPECT_TRUE(std::isnan(*extract_feature_value(rolling(Aggregation::Kurtosis, 0), {}, constant)));
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Max, 0), {}, constant), -kInf);
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Min, 0), {}, constant), kInf);
  EXPECT_EQ(*extract_feature_value(rolling(Aggregation::Last, 0), {}, constant), 0.0);

  std::vector<MarketState> skewed;
  for (double c : {0.0, 0.0, 0.0, 4.0}) skewed.push_back(state_with_close(c));
  // mean 1, population variance 3: skew = (3 * -1 + 27) / (4 * 3^1.5)
  EXPECT_NEAR(*extract_feature_value(rolling(Aggregation::Skew, 4), {}, skewed),
              24.0 / (4.0 * std::pow(3.0, 1.5)), 1e-12);
  EXPECT_NEAR(*extract_feature_value(rolling(Aggregation::Kurtosis, 4), {}, skewed),
              (3.0 + 81.0) / (4.0 * 9.0) - 3.0, 1e-12);
}

RunningStats fed(std::initializer_list<double> values) {
  RunningStats stats;
  for (double v : values) NoopNormalizer{}.update_stats(stats, v);
  return stats;
}

TEST(Normalizers, NormaliseAgainstTheirStatistics) {
  struct Case {
    NormalizerKind kind;
    RunningStats stats;
    double x;
    double expected;
  };
  const std::vector<Case> cases = {
      {NormalizerKind::ZScore, fed({}), 3.0, 0.0},
      {NormalizerKind::ZScore, fed({7}), 3.0, 0.0},
      {NormalizerKind::ZScore, fed({1, 2, 3}), 100.0, 5.0},
      {NormalizerKind::ZScore, fed({1, 2, 3}), 2.0, 0.0},
      {NormalizerKind::ZScore, fed({1, 2, 3}), 3.0, 1.0},
      {NormalizerKind::ZScore, fed({4, 4}), 9.0, 0.0},
      {NormalizerKind::MinMax, fed({}), 12.0, 0.5},
      {NormalizerKind::MinMax, fed({10, 20}), 12.5, 0.25},
      {NormalizerKind::MinMax, fed({10, 20}), 5.0, 0.0},
      {NormalizerKind::MinMax, fed({10, 20}), 30.0, 1.0},
      {NormalizerKind::Robust, fed({}), 3.0, 0.0},
      {NormalizerKind::Robust, fed({1, 2, 3, 4}), 4.5, 1.0},
      {NormalizerKind::Robust, fed({1, 2, 3}), 4.0, 1.0},
      {NormalizerKind::Noop, fed({1, 2}), -7.5, -7.5},
      {NormalizerKind::ZScore, fed({1, 2, 3}), -kInf, -5.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(normalizer_for(c.kind).normalize(c.stats, c.x), c.expected)
        << "kind " << static_cast<int>(c.kind) << " x " << c.x;
  }
  EXPECT_TRUE(std::isnan(normalizer_for(NormalizerKind::ZScore).normalize(fed({1, 2}), std::nan(""))));
}

TEST(Normalizers, StatisticsKeepTheFirstSamplesAndResetFully) {
  RunningStats stats;
  const NoopNormalizer n;
  for (int i = 0; i < 1025; ++i) n.update_stats(stats, i);
  n.update_stats(stats, std::nan(""));
  EXPECT_EQ(stats.count, 1026u);
  ASSERT_EQ(stats.samples.size(), 1024u);
  EXPECT_EQ(stats.samples.back(), 1023.0);
  EXPECT_EQ(stats.min, 0.0);
  EXPECT_EQ(stats.max, 1024.0);
  n.reset(stats);
  EXPECT_EQ(stats.count, 0u);
  EXPECT_TRUE(stats.samples.empty());
  EXPECT_EQ(stats.samples.capacity(), 1024u);
  EXPECT_EQ(stats.min, kInf);
  EXPECT_EQ(stats.max, -kInf);
  EXPECT_EQ(stats.mean, 0.0);
}

TEST(DefaultObservationSpace, ObserveFeedsRawValuesAndResetForgetsThem) {
  auto space = DefaultObservationSpace::create(1, {close_feature(NormalizerKind::ZScore)});
  std::vector<MarketState> states;
  for (double c : {1.0, 2.0, 3.0}) {
    states.push_back(state_with_close(c));
    ASSERT_TRUE(space->observe(states).has_value());
  }
  EXPECT_EQ(space->stats()[0].count, 3u);
  EXPECT_DOUBLE_EQ(space->build(states.back(), states)->features[0], 1.0);  // (3 - 2) / 1
  space->reset_stats();
  EXPECT_EQ(space->stats()[0].count, 0u);
  EXPECT_EQ(space->build(states.back(), states)->features[0], 0.0);
}

TEST(DefaultObservationSpace, ObserveFeedsNothingWhenAFeatureFails) {
  auto space = DefaultObservationSpace::create(
      1, {close_feature(NormalizerKind::ZScore), feature("bad", {FeatureSource::Price{"nope"}})});
  const std::vector<MarketState> states = {state_with_close(1)};
  auto fed_result = space->observe(states);
  ASSERT_FALSE(fed_result.has_value());
  EXPECT_EQ(fed_result.error().message(), "Feature 'nope' not found in feature set");
  EXPECT_EQ(space->stats()[0].count, 0u);
}

TEST(DefaultObservationSpace, ObservedBoxBoundsEachValueHonestly) {
  FeatureConfig clipped = feature("volume", {FeatureSource::Volume{"volume"}});
  clipped.clip = ClipBounds{0.0, 15.0};
  auto space = DefaultObservationSpace::create(
      1, {close_feature(NormalizerKind::ZScore), feature("minmax", {FeatureSource::Price{"close"}}, NormalizerKind::MinMax),
          clipped, feature("cash", {FeatureSource::Portfolio{"cash"}})});
  std::vector<MarketState> states = {state_with_close(1), state_with_close(2)};
  states[0].volume = 10;
  states[1].volume = 20;
  const BoxSpec box = space->observed_box(states);
  EXPECT_EQ(box.low, (std::vector<double>{-5, 0, 10, -kInf}));
  EXPECT_EQ(box.high, (std::vector<double>{5, 1, 15, kInf}));
}

}  // namespace
}  // namespace vesk::rl
