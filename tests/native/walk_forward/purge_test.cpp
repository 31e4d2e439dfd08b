#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

#include "walk_forward/purge.hpp"

using namespace vesk::walk_forward;

namespace {
IndexList range(uint64_t from, uint64_t to) {
  IndexList v(to - from);
  std::iota(v.begin(), v.end(), from);
  return v;
}
}  // namespace

TEST(Purge, DropsTrainingIndicesWhoseLabelsReachTheTestPeriod) {
  EXPECT_EQ(purge_overlapping_labels(range(0, 100), range(110, 130), 15), range(0, 95));
  EXPECT_TRUE(purge_overlapping_labels(range(0, 100), range(3, 10), 10).empty());
  // Indices after the test window are dropped too; order and duplicates of the rest are kept.
  EXPECT_EQ(purge_overlapping_labels({5, 1, 200, 1, 3}, {50, 40}, 10), (IndexList{5, 1, 1, 3}));
}

TEST(Purge, ZeroHorizonOrEmptyTestReturnsTrainingUnchanged) {
  const IndexList train{9, 3, 3, 7};
  EXPECT_EQ(purge_overlapping_labels(train, {4}, 0), train);
  EXPECT_EQ(purge_overlapping_labels(train, {}, 5), train);
}

TEST(Embargo, BlockLengthIsAFractionOfTheTestSetCutAtTheTotal) {
  const IndexList test = range(100, 120);
  EXPECT_EQ(embargo_indices(test, 0.1, 1000), (IndexList{120, 121}));
  EXPECT_EQ(embargo_indices(test, 0.01, 1000), (IndexList{120}));
  EXPECT_EQ(embargo_indices(test, 0.1, 121), (IndexList{120}));
  EXPECT_TRUE(embargo_indices(test, 0.1, 120).empty());
  EXPECT_TRUE(embargo_indices(test, 0.0, 1000).empty());
  EXPECT_TRUE(embargo_indices(test, -1.0, 1000).empty());
  EXPECT_EQ(embargo_indices(test, std::nan(""), 1000), (IndexList{120}));
  EXPECT_EQ(embargo_indices(test, INFINITY, 125), range(120, 125));
  EXPECT_TRUE(embargo_indices({}, 0.5, 1000).empty());
}

TEST(Embargo, LargestIndexDoesNotWrapAround) {
  EXPECT_TRUE(embargo_indices({UINT64_MAX}, 0.5, UINT64_MAX).empty());
  EXPECT_EQ(embargo_indices({UINT64_MAX - 2}, 1.0, UINT64_MAX), (IndexList{UINT64_MAX - 1}));
}

TEST(Leakage, SharedIndicesAreReportedOnceInAscendingOrder) {
  EXPECT_EQ(detect_leakage({1, 2, 3}, {3, 4}, 0), (LeakageReport{true, {{3, 3}}}));
  EXPECT_EQ(detect_leakage({9, 5, 1, 9, 7, 3}, {7, 9, 1, 1, 20}, 4), (LeakageReport{true, {{1, 1}, {7, 7}, {9, 9}}}));
}

TEST(Leakage, GapAgainstFeatureLag) {
  EXPECT_EQ(detect_leakage(range(0, 10), range(12, 16), 2), (LeakageReport{}));
  EXPECT_EQ(detect_leakage(range(0, 10), range(12, 16), 3), (LeakageReport{true, {{9, 12}}}));
  EXPECT_EQ(detect_leakage(range(0, 10), range(500, 501), 0), (LeakageReport{}));
  // A training index later than every test index: the gap floors at 0.
  EXPECT_EQ(detect_leakage({50}, {10, 20}, 1), (LeakageReport{true, {{50, 10}}}));
  EXPECT_EQ(detect_leakage({}, {1}, 5), (LeakageReport{}));
  EXPECT_EQ(detect_leakage({1}, {}, 5), (LeakageReport{}));
}
