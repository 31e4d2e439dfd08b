#include <gtest/gtest.h>

#include <cmath>

#include "core/json/record.hpp"
#include "core/number_format.hpp"
#include "core/quote.hpp"

using namespace vesk;
using namespace vesk::json;

TEST(NumberFormat, DisplayAndDiagnosticForms) {
  struct Case {
    double value;
    const char* display;
    const char* diagnostic;
  };
  const Case cases[] = {
      {1.5, "1.5", "1.5"},
      {2.0, "2", "2.0"},
      {-0.25, "-0.25", "-0.25"},
      {1000.0, "1000", "1000.0"},
      {0.1 + 0.2, "0.30000000000000004", "0.30000000000000004"},
      {1e21, "1000000000000000000000", "1e21"},
      {18446744073709551616.0, "18446744073709552000", "1.8446744073709552e19"},
      {1e-7, "0.0000001", "1e-7"},
      {0.0001, "0.0001", "0.0001"},
      {0.0, "0", "0.0"},
      {-0.0, "-0", "-0.0"},
      {std::nan(""), "NaN", "NaN"},
      {INFINITY, "inf", "inf"},
      {-INFINITY, "-inf", "-inf"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(display_number(c.value), c.display);
    EXPECT_EQ(diagnostic_number(c.value), c.diagnostic);
  }
  EXPECT_EQ(fixed_number(100000.0, 2), "100000.00");
  EXPECT_EQ(fixed_number(0.00005, 4), "0.0001");
}

TEST(Quote, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(quoted("BTC-USDT"), "\"BTC-USDT\"");
  EXPECT_EQ(quoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(quoted("x\ny\t\x01"), "\"x\\ny\\t\\u{1}\"");
  EXPECT_EQ(quoted("风控"), "\"风控\"");
}

TEST(Writer, CompactTextWithShortestFloats) {
  Object o;
  o["b"] = Value(1.0);
  o["a"] = Value(Array{Value(nullptr), Value(true), Value(int64_t{-3}), Value(uint64_t{18446744073709551615u})});
  o["c"] = Value(std::nan(""));
  o["d"] = Value("é\"\n\x01");
  o["e"] = Value(0.1);
  o["f"] = Value(1e300);
  EXPECT_EQ(to_text(Value(o)), R"({"a":[null,true,-3,18446744073709551615],"b":1.0,"c":null,"d":"é\"\n\u0001","e":0.1,"f":1e300})");
}

TEST(Writer, EveryValueReadsBackUnchanged) {
  const char* texts[] = {
      R"({"a":[1,2.5,-7,{"x":null}],"b":"\u00e9\ud83d\ude00","c":1e-300,"d":123456789.125,"e":false})",
      R"([0.30000000000000004,-0.0,9007199254740993,1.7976931348623157e308])",
  };
  for (const char* text : texts) {
    auto first = parse(text);
    ASSERT_TRUE(first) << first.error().message();
    auto second = parse(to_text(*first));
    ASSERT_TRUE(second);
    EXPECT_EQ(*first, *second) << text;
  }
}

TEST(Reader, ValuesKeepIntegerAndFloatApart) {
  auto v = parse(R"({"z": 1, "a": 1.0, "m": -1, "big": 18446744073709551616, "s": "\u00e9"})");
  ASSERT_TRUE(v);
  const Object& o = *v->if_object();
  EXPECT_EQ(o.begin()->first, "a");  // keys ascending
  EXPECT_TRUE(v->find("a")->is_float());
  EXPECT_EQ(v->find("z")->as_u64(), 1u);
  EXPECT_EQ(v->find("m")->as_i64(), -1);
  EXPECT_TRUE(v->find("big")->is_float());
  EXPECT_EQ(*v->find("s")->if_string(), "é");
}

TEST(Reader, MalformedTextFailsWithPositions) {
  struct Case {
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"", "EOF while parsing a value at line 1 column 0"},
      {"[1, 2,]", "trailing comma at line 1 column 7"},
      {"[1 2]", "expected `,` or `]` at line 1 column 4"},
      {"{\"a\":1,}", "trailing comma at line 1 column 8"},
      {"\"\\ud800x\"", "lone leading surrogate in hex escape at line 1 column 7"},
      {"\"abc", "EOF while parsing a string at line 1 column 4"},
      {"1e400", "number out of range at line 1 column 5"},
      {"[1]\n  x", "trailing characters at line 2 column 3"},
      {"nul", "EOF while parsing a value at line 1 column 3"},
  };
  for (const Case& c : cases) {
    auto v = parse(c.text);
    ASSERT_FALSE(v) << c.text;
    EXPECT_EQ(v.error().message(), c.message) << c.text;
  }
}

TEST(Reader, DeepNestingIsRefusedNotOverflowed) {
  const std::string deep(100000, '[');
  auto v = parse(deep);
  ASSERT_FALSE(v);
  EXPECT_EQ(v.error().description, "recursion limit exceeded");
}

namespace {
enum class Side { Buy, Sell };
struct Order {
  std::string symbol;
  Side side = Side::Buy;
  std::optional<double> price;
  uint32_t count = 7;
  std::vector<uint8_t> bytes;
};
}  // namespace

namespace vesk::json {
template <>
struct Decoder<Side> {
  static Read<Side> decode(Reader& r) {
    static constexpr std::string_view names[] = {"Buy", "Sell"};
    return read_enum<Side>(r, names);
  }
};
template <>
struct Decoder<Order> {
  static Read<Order> decode(Reader& r) {
    static constexpr Field<Order> fields[] = {required<&Order::symbol>("symbol"), required<&Order::side>("side"),
                                              defaulted<&Order::price>("price"), defaulted<&Order::count>("count"),
                                              defaulted<&Order::bytes>("bytes")};
    return read_record(r, "Order", fields);
  }
};
}  // namespace vesk::json

TEST(Record, TextAndValueDecodingShareTheirDescriptions) {
  struct Case {
    const char* text;
    const char* message;  // nullptr: accepted
  };
  const Case cases[] = {
      {R"({"symbol":"X","side":"Sell","price":null,"extra":[1,{"a":2}]})", nullptr},
      {R"({"symbol":"X","side":{"Buy":null}})", nullptr},
      {R"(["X","Buy"])", nullptr},
      {R"(["X"])", "invalid length 1, expected struct Order with 5 elements at line 1 column 5"},
      {R"(["X","Buy",null,1,[],9])", "trailing characters at line 1 column 22"},
      {R"({"symbol":"X"})", "missing field `side` at line 1 column 14"},
      {R"({"symbol":"X","side":"Buy","count":4294967296})", "invalid value: integer `4294967296`, expected u32 at line 1 column 45"},
      {R"({"symbol":"X","side":"Buy","bytes":[1,300]})", "invalid value: integer `300`, expected u8 at line 1 column 41"},
      {R"({"symbol":"X","side":"Buy","bytes":"ab"})", "invalid type: string \"ab\", expected a sequence at line 1 column 39"},
      {R"({"symbol":"X","side":"Buy","price":[1]})", "invalid type: sequence, expected f64 at line 1 column 35"},
      {R"({"symbol":"a\"b","side":"Hold"})", "unknown variant `Hold`, expected `Buy` or `Sell` at line 1 column 30"},
      {R"({"symbol":false,"side":"Buy"})", "invalid type: boolean `false`, expected a string at line 1 column 15"},
      {R"({"symbol":"X","side":{"Buy":1}})", "invalid type: integer `1`, expected unit at line 1 column 29"},
  };
  for (const Case& c : cases) {
    auto from_text_result = from_text<Order>(c.text);
    if (!c.message) {
      EXPECT_TRUE(from_text_result) << c.text << ": " << from_text_result.error().message();
      continue;
    }
    ASSERT_FALSE(from_text_result) << c.text;
    EXPECT_EQ(from_text_result.error().message(), c.message);
  }
  auto value = parse(R"({"side":"Buy","price":"cheap","symbol":"X"})");
  ASSERT_TRUE(value);
  auto from_value_result = from_value<Order>(*value);
  ASSERT_FALSE(from_value_result);
  EXPECT_EQ(from_value_result.error().message(), "invalid type: string \"cheap\", expected f64");
}

TEST(Record, DefaultsComeFromTheMemberInitialisers) {
  auto order = from_text<Order>(R"({"side":"Sell","symbol":"ETH"})");
  ASSERT_TRUE(order);
  EXPECT_EQ(order->symbol, "ETH");
  EXPECT_EQ(order->side, Side::Sell);
  EXPECT_FALSE(order->price);
  EXPECT_EQ(order->count, 7u);
}
