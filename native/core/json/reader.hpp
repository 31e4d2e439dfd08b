#pragma once
// A pull reader over JSON text that decodes straight into typed values, so that every
// failure names what was wrong and where reading stopped ("... at line L column C").
//
// Positions: the column is that of the last character read (1-based, in bytes), or, for
// errors found by looking ahead, of the character looked at; at the end of the text it is the
// text's last column (0 for an empty text). A reader made with positions off (used to decode
// an in-memory value) reports the same descriptions without a position.
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/json/value.hpp"

namespace vesk::json {

struct Position {
  size_t line = 1;
  size_t column = 0;
  bool operator==(const Position&) const = default;
};

struct ReadError {
  std::string description;            // e.g. "missing field `side`"
  std::optional<Position> position;   // absent when read from a value rather than text
  std::string message() const;        // description, plus " at line L column C" when positioned
};

template <class T>
using Read = std::expected<T, ReadError>;

// What a JSON value turned out to be, for "invalid type: X, expected Y" messages.
std::string describe_unexpected(const Value& scalar_or_container);

class Reader {
 public:
  explicit Reader(std::string_view text, bool with_positions = true);

  // Next non-whitespace character, not consumed; nullopt at the end of the text.
  std::optional<char> peek();
  void consume() { ++index_; }

  ReadError error_here(std::string description) const;  // at the last character read
  ReadError error_ahead(std::string description) const; // at the character looked at
  // Adds the current position to an error found without one (e.g. by a visitor).
  ReadError located(ReadError error) const;

  // Scalars; each reads one whole JSON value. `expected` names the wanted type in messages.
  Read<bool> read_bool();
  Read<uint64_t> read_unsigned(uint64_t max, std::string_view expected);  // "u64", "u32", "u8"
  Read<int64_t> read_signed(std::string_view expected);                    // "i64"
  Read<double> read_f64();
  Read<std::string> read_string();
  // Unit variant of an enumeration, spelled "name" or {"name": null}; returns its index.
  Read<size_t> read_variant(std::span<const std::string_view> names);

  // True (and consumed) when the next value is null; for optional fields.
  Read<bool> take_null();
  Read<Value> read_value();  // any JSON value
  Read<void> skip_value();   // validates and discards one value

  // For containers. `expected` is e.g. "a sequence" or "struct X"; consumes a value of the
  // wrong kind and reports it, as a type error for what was found.
  Read<void> invalid_type(std::string_view expected);

  // Opens the container whose '[' or '{' peek() just showed.
  Read<void> begin() {
    if (auto r = enter(); !r) return r;
    consume();
    return {};
  }
  // Sequence protocol: begin(), then next_element() until it says false, then end_sequence().
  Read<bool> next_element(bool first);
  Read<void> end_sequence();  // after the last wanted element: the closing ']'
  // Object protocol: begin(), next_key() until nullopt with colon() before each value, end_object().
  Read<std::optional<std::string>> next_key(bool first);
  Read<void> colon();
  Read<void> end_object();

  // After the top-level value: only whitespace may follow.
  Read<void> finish();

  // Nesting guard shared by every recursive reader.
  Read<void> enter();
  void leave() { --depth_; }

 private:
  Read<void> parse_ident(std::string_view rest);
  Read<Value> parse_number();
  Read<std::string> parse_string_body();  // after the opening quote
  Read<void> skip_string_body();
  Read<void> skip_container(char open);
  Read<Value> read_array_value();
  Read<Value> read_object_value();
  Read<Value> read_scalar_for_message();
  Position position_at(size_t index) const;

  std::string_view text_;
  size_t index_ = 0;
  size_t depth_ = 0;
  bool with_positions_;
};

}  // namespace vesk::json
