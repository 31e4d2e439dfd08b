#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

#include "test_support.hpp"
#include "trading/types_json.hpp"

namespace vesk::trading {
namespace {

using testing::parse_json;

struct ReferenceRow {
  std::string record;
  std::string input;
  std::string expected;  // "OK" when accepted
};

std::vector<ReferenceRow> trading_rows() {
  std::ifstream file(VESK_TEST_DATA "/reader-reference.tsv");
  std::vector<ReferenceRow> rows;
  std::string line;
  std::getline(file, line);  // header
  while (std::getline(file, line)) {
    std::istringstream fields(line);
    ReferenceRow row;
    std::string literal;
    std::getline(fields, row.record, '\t');
    std::getline(fields, literal, '\t');
    std::getline(fields, row.expected);
    if (!row.record.ends_with("OrderArgs") && row.record != "QueryPortfolioArgs") continue;
    auto input = json::from_text<std::string>(literal);
    EXPECT_TRUE(input.has_value()) << literal;
    row.input = input.value_or("");
    rows.push_back(std::move(row));
  }
  return rows;
}

template <class T>
std::string outcome(const std::string& text) {
  auto v = json::from_text<T>(text);
  return v ? "OK" : v.error().message();
}

TEST(TradingReader, MatchesReferenceTable) {
  const auto rows = trading_rows();
  ASSERT_EQ(rows.size(), 17u);
  for (const auto& row : rows) {
    std::string got;
    if (row.record == "PlaceOrderArgs") got = outcome<PlaceOrderArgs>(row.input);
    else if (row.record == "CancelOrderArgs") got = outcome<CancelOrderArgs>(row.input);
    else if (row.record == "ReplaceOrderArgs") got = outcome<ReplaceOrderArgs>(row.input);
    else got = outcome<QueryPortfolioArgs>(row.input);
    EXPECT_EQ(got, row.expected) << row.record << " " << row.input;
  }
}

TEST(TradingReader, MinimalRequestFillsDefaultsAndWritesAllNineKeys) {
  auto req = parse_place_order_args(R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.01})");
  ASSERT_TRUE(req.has_value());
  EXPECT_EQ(req->order_type, OrderKind::Limit);
  EXPECT_EQ(req->time_in_force, TimeInForce::GTC);
  EXPECT_FALSE(req->price || req->stop_loss || req->take_profit);
  EXPECT_TRUE(req->extras.is_null());
  EXPECT_EQ(json::to_json(*req),
            R"({"symbol":"BTC-USDT","side":"Buy","quantity":0.01,"order_type":"Limit","price":null,)"
            R"("stop_loss":null,"take_profit":null,"time_in_force":"GTC","extras":null})");
}

TEST(TradingReader, FullRequestRoundTrips) {
  const std::string text =
      R"({"symbol":"ETH-USDT","side":"Sell","quantity":2.0,"order_type":"Market","price":2000.5,)"
      R"("stop_loss":1900.0,"take_profit":2100.0,"time_in_force":"FOK","extras":{"confirm_token":"t","n":[1,true]}})";
  auto req = parse_place_order_args(text);
  ASSERT_TRUE(req.has_value()) << req.error().message();
  EXPECT_EQ(json::to_json(*req), text);
}

TEST(TradingReader, RefusesUnusableAmountsNamingFieldAndValue) {
  struct Case {
    std::string fields;
    std::string description;
  };
  const Case cases[] = {
      {R"("quantity":0)", "invalid value: quantity `0.0`, expected a finite number greater than 0"},
      {R"("quantity":-0.5)", "invalid value: quantity `-0.5`, expected a finite number greater than 0"},
      {R"("quantity":1,"price":0.0)", "invalid value: price `0.0`, expected a finite number greater than 0"},
      {R"("quantity":1,"price":-100)", "invalid value: price `-100.0`, expected a finite number greater than 0"},
  };
  for (const auto& c : cases) {
    const std::string text = R"({"symbol":"BTC-USDT","side":"Buy",)" + c.fields + "}";
    auto from_text = parse_place_order_args(text);
    ASSERT_FALSE(from_text.has_value()) << text;
    EXPECT_EQ(from_text.error().description, c.description);
    EXPECT_TRUE(from_text.error().position.has_value());
    // The nested request of a replace is held to the same rule, and values carry no position.
    auto nested = json::from_value<ReplaceOrderArgs>(parse_json(R"({"order_id":"MOCK-1","new_req":)" + text + "}"));
    ASSERT_FALSE(nested.has_value());
    EXPECT_EQ(nested.error().message(), c.description);
  }
}

TEST(TradingWriter, AckOmitsAbsentTokenAndWritesNonFiniteAsNull) {
  OrderAck ack{"MOCK-1", "BTC-USDT", OrderSide::Sell, std::nan(""), "Filled", 1700000000000, std::nullopt};
  EXPECT_EQ(json::to_json(ack),
            R"({"order_id":"MOCK-1","symbol":"BTC-USDT","side":"Sell","quantity":null,"status":"Filled",)"
            R"("timestamp_ms":1700000000000})");
  ack.quantity = 2.0;
  ack.confirm_token = "abc";
  EXPECT_EQ(json::to_json(ack),
            R"({"order_id":"MOCK-1","symbol":"BTC-USDT","side":"Sell","quantity":2.0,"status":"Filled",)"
            R"("timestamp_ms":1700000000000,"confirm_token":"abc"})");
}

TEST(TradingWriter, PortfolioLayout) {
  const PortfolioSnapshot p{{{{"USDT", 10000.0, 0.0}}, 5}, {{"BTC-USDT", -0.2, 50000.0, 0.5, 6}}};
  EXPECT_EQ(json::to_json(p),
            R"({"balance":{"currencies":[{"currency":"USDT","free":10000.0,"locked":0.0}],"as_of_ms":5},)"
            R"("positions":[{"symbol":"BTC-USDT","quantity":-0.2,"entry_price":50000.0,"unrealized_pnl":0.5,)"
            R"("as_of_ms":6}]})");
}

}  // namespace
}  // namespace vesk::trading
