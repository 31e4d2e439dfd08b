#include "trading/types_json.hpp"

#include <array>
#include <cmath>

#include "core/number_format.hpp"

namespace vesk::json {
namespace {

using namespace vesk::trading;

constexpr std::array<std::string_view, 2> kSideNames = {"Buy", "Sell"};
constexpr std::array<std::string_view, 2> kKindNames = {"Limit", "Market"};
constexpr std::array<std::string_view, 3> kTimeInForceNames = {"GTC", "IOC", "FOK"};

// A negative "Buy" would sell and a zero or NaN amount means nothing sensible, so amounts that
// reach a backend must be finite and positive.
std::optional<std::string> unusable_amount(const PlaceOrderArgs& req) {
  const auto bad = [](double v) { return !std::isfinite(v) || v <= 0.0; };
  const auto describe = [](std::string_view field, double v) {
    return fmt::format("invalid value: {} `{}`, expected a finite number greater than 0", field,
                       diagnostic_number(v));
  };
  if (bad(req.quantity)) return describe("quantity", req.quantity);
  if (req.price && bad(*req.price)) return describe("price", *req.price);
  return std::nullopt;
}

}  // namespace

Read<OrderSide> Decoder<OrderSide>::decode(Reader& r) { return read_enum<OrderSide>(r, kSideNames); }
Read<OrderKind> Decoder<OrderKind>::decode(Reader& r) { return read_enum<OrderKind>(r, kKindNames); }
Read<TimeInForce> Decoder<TimeInForce>::decode(Reader& r) {
  return read_enum<TimeInForce>(r, kTimeInForceNames);
}

Read<PlaceOrderArgs> Decoder<PlaceOrderArgs>::decode(Reader& r) {
  static constexpr Field<PlaceOrderArgs> fields[] = {
      required<&PlaceOrderArgs::symbol>("symbol"),
      required<&PlaceOrderArgs::side>("side"),
      required<&PlaceOrderArgs::quantity>("quantity"),
      defaulted<&PlaceOrderArgs::order_type>("order_type"),
      defaulted<&PlaceOrderArgs::price>("price"),
      defaulted<&PlaceOrderArgs::stop_loss>("stop_loss"),
      defaulted<&PlaceOrderArgs::take_profit>("take_profit"),
      defaulted<&PlaceOrderArgs::time_in_force>("time_in_force"),
      defaulted<&PlaceOrderArgs::extras>("extras"),
  };
  auto req = read_record(r, "PlaceOrderArgs", fields);
  if (!req) return req;
  if (auto problem = unusable_amount(*req)) return std::unexpected(r.error_here(std::move(*problem)));
  return req;
}

Read<CancelOrderArgs> Decoder<CancelOrderArgs>::decode(Reader& r) {
  static constexpr Field<CancelOrderArgs> fields[] = {required<&CancelOrderArgs::order_id>("order_id")};
  return read_record(r, "CancelOrderArgs", fields);
}

Read<ReplaceOrderArgs> Decoder<ReplaceOrderArgs>::decode(Reader& r) {
  static constexpr Field<ReplaceOrderArgs> fields[] = {
      required<&ReplaceOrderArgs::order_id>("order_id"),
      required<&ReplaceOrderArgs::new_req>("new_req"),
  };
  return read_record(r, "ReplaceOrderArgs", fields);
}

Read<QueryPortfolioArgs> Decoder<QueryPortfolioArgs>::decode(Reader& r) {
  static constexpr Field<QueryPortfolioArgs> fields[] = {defaulted<&QueryPortfolioArgs::symbol>("symbol")};
  return read_record(r, "QueryPortfolioArgs", fields);
}

void Encoder<OrderSide>::encode(Writer& w, OrderSide v) { w.string(kSideNames[static_cast<size_t>(v)]); }
void Encoder<OrderKind>::encode(Writer& w, OrderKind v) { w.string(kKindNames[static_cast<size_t>(v)]); }
void Encoder<TimeInForce>::encode(Writer& w, TimeInForce v) {
  w.string(kTimeInForceNames[static_cast<size_t>(v)]);
}

void Encoder<PlaceOrderArgs>::encode(Writer& w, const PlaceOrderArgs& v) {
  w.begin_object();
  member(w, "symbol", v.symbol);
  member(w, "side", v.side);
  member(w, "quantity", v.quantity);
  member(w, "order_type", v.order_type);
  member(w, "price", v.price);
  member(w, "stop_loss", v.stop_loss);
  member(w, "take_profit", v.take_profit);
  member(w, "time_in_force", v.time_in_force);
  member(w, "extras", v.extras);
  w.end_object();
}

void Encoder<CancelOrderArgs>::encode(Writer& w, const CancelOrderArgs& v) {
  w.begin_object();
  member(w, "order_id", v.order_id);
  w.end_object();
}

void Encoder<ReplaceOrderArgs>::encode(Writer& w, const ReplaceOrderArgs& v) {
  w.begin_object();
  member(w, "order_id", v.order_id);
  member(w, "new_req", v.new_req);
  w.end_object();
}

void Encoder<QueryPortfolioArgs>::encode(Writer& w, const QueryPortfolioArgs& v) {
  w.begin_object();
  member(w, "symbol", v.symbol);
  w.end_object();
}

void Encoder<OrderAck>::encode(Writer& w, const OrderAck& v) {
  w.begin_object();
  member(w, "order_id", v.order_id);
  member(w, "symbol", v.symbol);
  member(w, "side", v.side);
  member(w, "quantity", v.quantity);
  member(w, "status", v.status);
  member(w, "timestamp_ms", v.timestamp_ms);
  if (v.confirm_token) member(w, "confirm_token", *v.confirm_token);
  w.end_object();
}

void Encoder<CurrencyBalance>::encode(Writer& w, const CurrencyBalance& v) {
  w.begin_object();
  member(w, "currency", v.currency);
  member(w, "free", v.free);
  member(w, "locked", v.locked);
  w.end_object();
}

void Encoder<BalanceSnapshot>::encode(Writer& w, const BalanceSnapshot& v) {
  w.begin_object();
  member(w, "currencies", v.currencies);
  member(w, "as_of_ms", v.as_of_ms);
  w.end_object();
}

void Encoder<PositionSnapshot>::encode(Writer& w, const PositionSnapshot& v) {
  w.begin_object();
  member(w, "symbol", v.symbol);
  member(w, "quantity", v.quantity);
  member(w, "entry_price", v.entry_price);
  member(w, "unrealized_pnl", v.unrealized_pnl);
  member(w, "as_of_ms", v.as_of_ms);
  w.end_object();
}

void Encoder<PortfolioSnapshot>::encode(Writer& w, const PortfolioSnapshot& v) {
  w.begin_object();
  member(w, "balance", v.balance);
  member(w, "positions", v.positions);
  w.end_object();
}

}  // namespace vesk::json

namespace vesk::trading {

json::Read<PlaceOrderArgs> parse_place_order_args(std::string_view text) {
  return json::from_text<PlaceOrderArgs>(text);
}

}  // namespace vesk::trading
