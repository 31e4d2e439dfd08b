#include "core/json/writer.hpp"

#include <cmath>
#include <fmt/format.h>

#include "core/number_format.hpp"

namespace vesk::json {

void Writer::separate() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (!first_in_container_.empty()) {
    if (!first_in_container_.back()) out_.push_back(',');
    first_in_container_.back() = false;
  }
}

Writer& Writer::null() {
  separate();
  out_ += "null";
  return *this;
}

Writer& Writer::boolean(bool v) {
  separate();
  out_ += v ? "true" : "false";
  return *this;
}

Writer& Writer::integer(int64_t v) {
  separate();
  fmt::format_to(std::back_inserter(out_), "{}", v);
  return *this;
}

Writer& Writer::integer(uint64_t v) {
  separate();
  fmt::format_to(std::back_inserter(out_), "{}", v);
  return *this;
}

Writer& Writer::number(double v) {
  if (!std::isfinite(v)) return null();
  separate();
  out_ += diagnostic_number(v);  // "1000.0", "0.5", "1e16": valid JSON that reads back exactly
  return *this;
}

Writer& Writer::string(std::string_view v) {
  separate();
  out_.push_back('"');
  for (char ch : v) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out_ += "\\\""; break;
      case '\\': out_ += "\\\\"; break;
      case '\n': out_ += "\\n"; break;
      case '\r': out_ += "\\r"; break;
      case '\t': out_ += "\\t"; break;
      case '\b': out_ += "\\b"; break;
      case '\f': out_ += "\\f"; break;
      default:
        if (c < 0x20) fmt::format_to(std::back_inserter(out_), "\\u{:04x}", c);
        else out_.push_back(ch);
    }
  }
  out_.push_back('"');
  return *this;
}

Writer& Writer::begin_object() {
  separate();
  out_.push_back('{');
  first_in_container_.push_back(true);
  return *this;
}

Writer& Writer::key(std::string_view k) {
  string(k);
  out_.push_back(':');
  after_key_ = true;
  return *this;
}

Writer& Writer::end_object() {
  out_.push_back('}');
  first_in_container_.pop_back();
  return *this;
}

Writer& Writer::begin_array() {
  separate();
  out_.push_back('[');
  first_in_container_.push_back(true);
  return *this;
}

Writer& Writer::end_array() {
  out_.push_back(']');
  first_in_container_.pop_back();
  return *this;
}

Writer& Writer::value(const Value& v) {
  std::visit(
      [this](const auto& x) {
        using T = std::decay_t<decltype(x)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) null();
        else if constexpr (std::is_same_v<T, bool>) boolean(x);
        else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, uint64_t>) integer(x);
        else if constexpr (std::is_same_v<T, double>) number(x);
        else if constexpr (std::is_same_v<T, std::string>) string(x);
        else if constexpr (std::is_same_v<T, Array>) {
          begin_array();
          for (const Value& item : x) value(item);
          end_array();
        } else {
          begin_object();
          for (const auto& [k, item] : x) {
            key(k);
            value(item);
          }
          end_object();
        }
      },
      v.data);
  return *this;
}

std::string to_text(const Value& value) {
  Writer w;
  w.value(value);
  return w.take();
}

}  // namespace vesk::json
