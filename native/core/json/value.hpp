#pragma once
// An in-memory JSON value. Objects keep their keys in ascending order.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vesk::json {

struct Value;
using Array = std::vector<Value>;
using Object = std::map<std::string, Value, std::less<>>;

struct Value {
  // Non-negative integers are held as uint64_t, negative ones as int64_t.
  using Data = std::variant<std::nullptr_t, bool, int64_t, uint64_t, double, std::string, Array, Object>;
  Data data = nullptr;

  Value() = default;
  Value(std::nullptr_t) {}
  Value(bool b) : data(b) {}
  Value(int v) : Value(static_cast<int64_t>(v)) {}
  Value(int64_t v) {
    if (v >= 0) data = static_cast<uint64_t>(v);
    else data = v;
  }
  Value(uint64_t v) : data(v) {}
  Value(double v) : data(v) {}
  Value(const char* s) : data(std::string(s)) {}
  Value(std::string s) : data(std::move(s)) {}
  Value(std::string_view s) : data(std::string(s)) {}
  Value(Array a) : data(std::move(a)) {}
  Value(Object o) : data(std::move(o)) {}

  bool is_null() const { return std::holds_alternative<std::nullptr_t>(data); }
  bool is_bool() const { return std::holds_alternative<bool>(data); }
  bool is_integer() const { return std::holds_alternative<int64_t>(data) || std::holds_alternative<uint64_t>(data); }
  bool is_float() const { return std::holds_alternative<double>(data); }
  bool is_number() const { return is_integer() || is_float(); }
  bool is_string() const { return std::holds_alternative<std::string>(data); }
  bool is_array() const { return std::holds_alternative<Array>(data); }
  bool is_object() const { return std::holds_alternative<Object>(data); }

  const bool* if_bool() const { return std::get_if<bool>(&data); }
  const std::string* if_string() const { return std::get_if<std::string>(&data); }
  const Array* if_array() const { return std::get_if<Array>(&data); }
  const Object* if_object() const { return std::get_if<Object>(&data); }
  Array* if_array() { return std::get_if<Array>(&data); }
  Object* if_object() { return std::get_if<Object>(&data); }

  std::optional<int64_t> as_i64() const;
  std::optional<uint64_t> as_u64() const;
  std::optional<double> as_f64() const;  // any number

  // Member of an object, or nullptr when this is not an object or has no such key.
  const Value* find(std::string_view key) const;

  bool operator==(const Value&) const = default;
};

}  // namespace vesk::json
