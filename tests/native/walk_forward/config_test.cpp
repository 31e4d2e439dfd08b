#include <gtest/gtest.h>

#include "reference_table.hpp"
#include "walk_forward/config.hpp"
#include "walk_forward/split.hpp"

using namespace vesk::walk_forward;

TEST(WalkForwardConfig, ReaderMessagesMatchTheReferenceTable) {
  const auto rows = vesk::testing::reference_rows("WalkForwardConfig");
  ASSERT_GE(rows.size(), 40u);
  for (const auto& row : rows)
    EXPECT_EQ(vesk::testing::outcome(read_config(row.input)), row.expected) << "table line " << row.line << ": " << row.input;
}

TEST(WalkForwardConfig, DefaultsFillAbsentOptionalKeys) {
  const auto c = read_config(R"({"train_size": 100, "test_size": 20, "step_size": 20, "window_type": "expanding"})");
  ASSERT_TRUE(c);
  EXPECT_EQ(c->validation_size, 0u);
  EXPECT_EQ(c->purge_gap, 0u);
  EXPECT_EQ(c->embargo_pct, 0.01);
  EXPECT_EQ(c->window_type, WindowType::Expanding);
}

TEST(WalkForwardConfig, ValidationReportsTheFirstFailureInOrder) {
  struct Case {
    uint64_t train, test, step;
    double embargo;
    const char* message;
  };
  const Case cases[] = {
      {0, 0, 0, 0.01, "train_size must be > 0"},
      {1, 0, 0, 0.01, "test_size must be > 0"},
      {1, 1, 0, 0.01, "step_size must be > 0"},
      {1, 1, 1, 1.5, "embargo_pct (1.5) must be in [0.0, 1.0]"},
      {1, 1, 1, 2.0, "embargo_pct (2) must be in [0.0, 1.0]"},
      {1, 1, 1, -0.25, "embargo_pct (-0.25) must be in [0.0, 1.0]"},
      {1, 1, 1, std::nan(""), "embargo_pct (NaN) must be in [0.0, 1.0]"},
      {1, 1, 1, -INFINITY, "embargo_pct (-inf) must be in [0.0, 1.0]"},
      {1, 1, 1, 1e-7, nullptr},
      {1, 1, 1, 1.0, nullptr},
  };
  for (const Case& c : cases) {
    WalkForwardConfig config{.train_size = c.train, .test_size = c.test, .step_size = c.step, .embargo_pct = c.embargo};
    const auto result = config.validate();
    if (c.message) {
      ASSERT_FALSE(result) << c.message;
      EXPECT_EQ(result.error(), c.message);
    } else {
      EXPECT_TRUE(result) << result.error();
    }
  }
}

namespace {
WalkForwardConfig make(WindowType type, uint64_t validation = 0, uint64_t purge = 0) {
  return {.train_size = 100, .validation_size = validation, .test_size = 20, .step_size = 20, .window_type = type, .purge_gap = purge};
}
}  // namespace

TEST(TimeSeriesSplitter, RollingWindowsSlideAndExpandingOnesGrow) {
  const auto rolling = TimeSeriesSplitter(make(WindowType::Rolling)).split(200);
  ASSERT_EQ(rolling.size(), 5u);
  EXPECT_EQ(rolling[0], (FoldSplit{0, 0, 100, 100, 100, 100, 120}));
  EXPECT_EQ(rolling[4], (FoldSplit{4, 80, 180, 180, 180, 180, 200}));

  const auto expanding = TimeSeriesSplitter(make(WindowType::Expanding)).split(200);
  ASSERT_EQ(expanding.size(), 5u);
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(expanding[i].train_start, 0u);
    EXPECT_EQ(expanding[i].test_start, rolling[i].test_start);
    EXPECT_EQ(expanding[i].test_end, rolling[i].test_end);
  }
  EXPECT_EQ(expanding[4].train_end, 180u);
}

TEST(TimeSeriesSplitter, PurgeGapSeparatesValidationFromTest) {
  const auto folds = TimeSeriesSplitter(make(WindowType::Rolling, 10, 5)).split(1000);
  ASSERT_FALSE(folds.empty());
  EXPECT_EQ(folds[0], (FoldSplit{0, 0, 100, 100, 110, 115, 135}));
}

TEST(TimeSeriesSplitter, OnlyWholeFoldsAreEmitted) {
  const TimeSeriesSplitter splitter(make(WindowType::Rolling));
  EXPECT_TRUE(splitter.split(119).empty());
  EXPECT_EQ(splitter.split(120).size(), 1u);
  EXPECT_EQ(splitter.split(139).size(), 1u);
  EXPECT_EQ(splitter.split(140).size(), 2u);
  EXPECT_TRUE(splitter.split(0).empty());
}

TEST(TimeSeriesSplitter, WindowsNearTheTopOfTheRangeDoNotWrap) {
  WalkForwardConfig huge{.train_size = UINT64_MAX - 5, .test_size = 10, .step_size = 1};
  EXPECT_TRUE(TimeSeriesSplitter(huge).split(UINT64_MAX).empty());
  WalkForwardConfig big_step{.train_size = 10, .test_size = 10, .step_size = UINT64_MAX / 2};
  EXPECT_EQ(TimeSeriesSplitter(big_step).split(UINT64_MAX).size(), 2u);
}
