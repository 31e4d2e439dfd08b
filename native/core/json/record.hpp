#pragma once
// Typed decoding and encoding on top of the reader and writer.
//
//   template <> struct Decoder<WalkForwardConfig> {
//     static Read<WalkForwardConfig> decode(Reader& r) {
//       static constexpr Field<WalkForwardConfig> fields[] = {
//           required<&WalkForwardConfig::train_size>("train_size"),
//           defaulted<&WalkForwardConfig::purge_gap>("purge_gap"), ...};
//       return read_record(r, "WalkForwardConfig", fields);
//     }
//   };
//
// A record is an object with keys in any order (unknown keys ignored, known keys at most
// once, required keys present; absent optional keys keep the member's default), or an array
// of its fields in declaration order.
#include <bitset>
#include <cstdint>
#include <fmt/format.h>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/json/reader.hpp"
#include "core/json/writer.hpp"

namespace vesk::json {

template <class T>
struct Decoder;  // static Read<T> decode(Reader&)

template <>
struct Decoder<bool> {
  static Read<bool> decode(Reader& r) { return r.read_bool(); }
};
template <>
struct Decoder<uint64_t> {
  static Read<uint64_t> decode(Reader& r) { return r.read_unsigned(std::numeric_limits<uint64_t>::max(), "u64"); }
};
template <>
struct Decoder<uint32_t> {
  static Read<uint32_t> decode(Reader& r) {
    auto v = r.read_unsigned(std::numeric_limits<uint32_t>::max(), "u32");
    if (!v) return std::unexpected(v.error());
    return static_cast<uint32_t>(*v);
  }
};
template <>
struct Decoder<uint8_t> {
  static Read<uint8_t> decode(Reader& r) {
    auto v = r.read_unsigned(255, "u8");
    if (!v) return std::unexpected(v.error());
    return static_cast<uint8_t>(*v);
  }
};
template <>
struct Decoder<int64_t> {
  static Read<int64_t> decode(Reader& r) { return r.read_signed("i64"); }
};
template <>
struct Decoder<double> {
  static Read<double> decode(Reader& r) { return r.read_f64(); }
};
template <>
struct Decoder<std::string> {
  static Read<std::string> decode(Reader& r) { return r.read_string(); }
};
template <>
struct Decoder<Value> {
  static Read<Value> decode(Reader& r) { return r.read_value(); }
};

template <class T>
struct Decoder<std::optional<T>> {
  static Read<std::optional<T>> decode(Reader& r) {
    auto is_null = r.take_null();
    if (!is_null) return std::unexpected(is_null.error());
    if (*is_null) return std::optional<T>{};
    auto v = Decoder<T>::decode(r);
    if (!v) return std::unexpected(v.error());
    return std::optional<T>(std::move(*v));
  }
};

template <class T>
struct Decoder<std::vector<T>> {
  static Read<std::vector<T>> decode(Reader& r) {
    const auto c = r.peek();
    if (!c) return std::unexpected(r.error_ahead("EOF while parsing a value"));
    if (*c != '[') return std::unexpected(r.invalid_type("a sequence").error());
    if (auto b = r.begin(); !b) return std::unexpected(b.error());
    std::vector<T> items;
    for (bool first = true;; first = false) {
      auto more = r.next_element(first);
      if (!more) return std::unexpected(more.error());
      if (!*more) break;
      auto item = Decoder<T>::decode(r);
      if (!item) return std::unexpected(item.error());
      items.push_back(std::move(*item));
    }
    if (auto e = r.end_sequence(); !e) return std::unexpected(e.error());
    return items;
  }
};

// An enumeration of unit variants whose values are 0..N-1 in the order of `names`.
template <class E>
Read<E> read_enum(Reader& r, std::span<const std::string_view> names) {
  auto index = r.read_variant(names);
  if (!index) return std::unexpected(index.error());
  return static_cast<E>(*index);
}

template <class R>
struct Field {
  std::string_view name;
  bool required;
  Read<void> (*read)(Reader&, R&);
};

template <auto Member>
struct MemberOf;
template <class R, class T, T R::*Member>
struct MemberOf<Member> {
  using Record = R;
  using Type = T;
  static Read<void> read(Reader& r, R& record) {
    auto v = Decoder<T>::decode(r);
    if (!v) return std::unexpected(v.error());
    record.*Member = std::move(*v);
    return {};
  }
};

template <auto Member>
constexpr Field<typename MemberOf<Member>::Record> required(std::string_view name) {
  return {name, true, &MemberOf<Member>::read};
}

// Absent keys keep the member's default initialiser.
template <auto Member>
constexpr Field<typename MemberOf<Member>::Record> defaulted(std::string_view name) {
  return {name, false, &MemberOf<Member>::read};
}

template <class R>
Read<R> read_record(Reader& r, std::string_view struct_name, std::span<const Field<R>> fields, R record = R{}) {
  const auto c = r.peek();
  if (!c) return std::unexpected(r.error_ahead("EOF while parsing a value"));
  if (*c == '[') {
    if (auto b = r.begin(); !b) return std::unexpected(b.error());
    for (size_t i = 0; i < fields.size(); ++i) {
      auto more = r.next_element(i == 0);
      if (!more) return std::unexpected(more.error());
      if (!*more) {
        if (!fields[i].required) continue;
        ReadError short_array{fmt::format("invalid length {}, expected struct {} with {} elements", i, struct_name,
                                          fields.size()),
                              std::nullopt};
        if (auto e = r.end_sequence(); !e) return std::unexpected(e.error());
        return std::unexpected(r.located(std::move(short_array)));
      }
      if (auto v = fields[i].read(r, record); !v) return std::unexpected(v.error());
    }
    if (auto e = r.end_sequence(); !e) return std::unexpected(e.error());
    return record;
  }
  if (*c != '{') return std::unexpected(r.invalid_type(fmt::format("struct {}", struct_name)).error());
  if (auto b = r.begin(); !b) return std::unexpected(b.error());
  std::bitset<64> seen;
  for (bool first = true;; first = false) {
    auto key = r.next_key(first);
    if (!key) return std::unexpected(key.error());
    if (!*key) break;
    size_t index = 0;
    while (index < fields.size() && fields[index].name != **key) ++index;
    if (index < fields.size() && seen[index])
      return std::unexpected(r.error_here(fmt::format("duplicate field `{}`", fields[index].name)));
    if (auto colon = r.colon(); !colon) return std::unexpected(colon.error());
    if (index == fields.size()) {
      if (auto skipped = r.skip_value(); !skipped) return std::unexpected(skipped.error());
      continue;
    }
    seen[index] = true;
    if (auto v = fields[index].read(r, record); !v) return std::unexpected(v.error());
  }
  if (auto e = r.end_object(); !e) return std::unexpected(e.error());
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i].required && !seen[i])
      return std::unexpected(r.error_here(fmt::format("missing field `{}`", fields[i].name)));
  return record;
}

template <class R, size_t N>
Read<R> read_record(Reader& r, std::string_view struct_name, const Field<R> (&fields)[N], R record = R{}) {
  return read_record(r, struct_name, std::span<const Field<R>>(fields), std::move(record));
}

// A whole text holding one T and nothing else but whitespace.
template <class T>
Read<T> from_text(std::string_view text) {
  Reader r(text);
  auto v = Decoder<T>::decode(r);
  if (!v) return v;
  if (auto end = r.finish(); !end) return std::unexpected(end.error());
  return v;
}

// A T from an in-memory value; messages carry no position.
template <class T>
Read<T> from_value(const Value& value) {
  const std::string text = to_text(value);
  Reader r(text, false);
  return Decoder<T>::decode(r);
}

inline Read<Value> parse(std::string_view text) { return from_text<Value>(text); }

template <class T>
struct Encoder;  // static void encode(Writer&, const T&)

template <>
struct Encoder<bool> {
  static void encode(Writer& w, bool v) { w.boolean(v); }
};
template <class T>
  requires std::is_integral_v<T> && std::is_unsigned_v<T>
struct Encoder<T> {
  static void encode(Writer& w, T v) { w.integer(static_cast<uint64_t>(v)); }
};
template <>
struct Encoder<int64_t> {
  static void encode(Writer& w, int64_t v) { w.integer(v); }
};
template <>
struct Encoder<double> {
  static void encode(Writer& w, double v) { w.number(v); }
};
template <>
struct Encoder<std::string> {
  static void encode(Writer& w, const std::string& v) { w.string(v); }
};
template <>
struct Encoder<Value> {
  static void encode(Writer& w, const Value& v) { w.value(v); }
};
template <class T>
struct Encoder<std::optional<T>> {
  static void encode(Writer& w, const std::optional<T>& v) {
    if (v) Encoder<T>::encode(w, *v);
    else w.null();
  }
};
template <class T>
struct Encoder<std::vector<T>> {
  static void encode(Writer& w, const std::vector<T>& items) {
    w.begin_array();
    for (const T& item : items) Encoder<T>::encode(w, item);
    w.end_array();
  }
};

// One "key": value member of a record being written.
template <class T>
void member(Writer& w, std::string_view key, const T& value) {
  w.key(key);
  Encoder<T>::encode(w, value);
}

template <class T>
std::string to_json(const T& value) {
  Writer w;
  Encoder<T>::encode(w, value);
  return w.take();
}

}  // namespace vesk::json
