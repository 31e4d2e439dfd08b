// Mutated and truncated texts must never crash the reader, and every error must point
// inside the text it was read from.
#include <gtest/gtest.h>

#include <random>

#include "core/json/record.hpp"

using namespace vesk::json;

namespace {

const char* kSeeds[] = {
    R"({"a": [1, 2.5e-3, -0, true, false, null], "b": {"c": "\u00e9\ud83d\ude00\n"}, "d": 18446744073709551616})",
    R"([{"x": 1}, [[], {}], "s\"q", 0.1, 1E+2])",
    R"({"train_size": 100, "test_size": 20, "step_size": 20, "window_type": {"rolling": null}})",
};

void expect_position_inside(const ReadError& e, const std::string& text) {
  ASSERT_TRUE(e.position.has_value());
  size_t lines = 1;
  for (char c : text) lines += c == '\n';
  EXPECT_GE(e.position->line, 1u);
  EXPECT_LE(e.position->line, lines);
  EXPECT_LE(e.position->column, text.size());
}

}  // namespace

TEST(ReaderRobustness, MutatedTextsFailCleanly) {
  std::mt19937 rng(12345);
  const std::string alphabet = "{}[]\",:\\ntfu0123456789.eE+- \n\x01\xff";
  int failures = 0;
  for (const char* seed : kSeeds) {
    const std::string original(seed);
    for (int round = 0; round < 3000; ++round) {
      std::string text = original;
      const int edits = 1 + static_cast<int>(rng() % 4);
      for (int e = 0; e < edits && !text.empty(); ++e) {
        const size_t at = rng() % text.size();
        switch (rng() % 3) {
          case 0: text[at] = alphabet[rng() % alphabet.size()]; break;
          case 1: text.erase(at, 1 + rng() % 3); break;
          default: text.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
        }
      }
      if (rng() % 5 == 0) text.resize(rng() % (text.size() + 1));
      const auto value = parse(text);
      if (!value) {
        ++failures;
        expect_position_inside(value.error(), text);
      } else {
        const auto again = parse(to_text(*value));  // what was read writes back to the same value
        ASSERT_TRUE(again.has_value()) << text;
        EXPECT_EQ(*again, *value);
      }
      Reader skipper(text);
      if (auto skipped = skipper.skip_value(); !skipped) expect_position_inside(skipped.error(), text);
    }
  }
  EXPECT_GT(failures, 1000);  // the mutations do reach the error paths
}
