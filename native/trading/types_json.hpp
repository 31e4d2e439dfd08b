#pragma once
// JSON forms of the trading records: keys in declaration order when written, the standard
// reader messages when read. Order requests are also checked for usable amounts on reading,
// so a nonsensical quantity or price never gets past decoding.
#include "core/json/record.hpp"
#include "trading/types.hpp"

namespace vesk::json {

template <>
struct Decoder<trading::OrderSide> {
  static Read<trading::OrderSide> decode(Reader& r);
};
template <>
struct Decoder<trading::OrderKind> {
  static Read<trading::OrderKind> decode(Reader& r);
};
template <>
struct Decoder<trading::TimeInForce> {
  static Read<trading::TimeInForce> decode(Reader& r);
};
template <>
struct Decoder<trading::PlaceOrderArgs> {
  static Read<trading::PlaceOrderArgs> decode(Reader& r);
};
template <>
struct Decoder<trading::CancelOrderArgs> {
  static Read<trading::CancelOrderArgs> decode(Reader& r);
};
template <>
struct Decoder<trading::ReplaceOrderArgs> {
  static Read<trading::ReplaceOrderArgs> decode(Reader& r);
};
template <>
struct Decoder<trading::QueryPortfolioArgs> {
  static Read<trading::QueryPortfolioArgs> decode(Reader& r);
};

template <>
struct Encoder<trading::OrderSide> {
  static void encode(Writer& w, trading::OrderSide v);
};
template <>
struct Encoder<trading::OrderKind> {
  static void encode(Writer& w, trading::OrderKind v);
};
template <>
struct Encoder<trading::TimeInForce> {
  static void encode(Writer& w, trading::TimeInForce v);
};
template <>
struct Encoder<trading::PlaceOrderArgs> {
  static void encode(Writer& w, const trading::PlaceOrderArgs& v);
};
template <>
struct Encoder<trading::CancelOrderArgs> {
  static void encode(Writer& w, const trading::CancelOrderArgs& v);
};
template <>
struct Encoder<trading::ReplaceOrderArgs> {
  static void encode(Writer& w, const trading::ReplaceOrderArgs& v);
};
template <>
struct Encoder<trading::QueryPortfolioArgs> {
  static void encode(Writer& w, const trading::QueryPortfolioArgs& v);
};
template <>
struct Encoder<trading::OrderAck> {
  static void encode(Writer& w, const trading::OrderAck& v);
};
template <>
struct Encoder<trading::CurrencyBalance> {
  static void encode(Writer& w, const trading::CurrencyBalance& v);
};
template <>
struct Encoder<trading::BalanceSnapshot> {
  static void encode(Writer& w, const trading::BalanceSnapshot& v);
};
template <>
struct Encoder<trading::PositionSnapshot> {
  static void encode(Writer& w, const trading::PositionSnapshot& v);
};
template <>
struct Encoder<trading::PortfolioSnapshot> {
  static void encode(Writer& w, const trading::PortfolioSnapshot& v);
};

}  // namespace vesk::json

namespace vesk::trading {

// The place-order arguments from their JSON text (whole text, positions in messages).
json::Read<PlaceOrderArgs> parse_place_order_args(std::string_view text);

}  // namespace vesk::trading
