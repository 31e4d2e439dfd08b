#include "core/json/reader.hpp"

#include <cmath>
#include <cstdlib>
#include <fmt/format.h>
#include <locale.h>

#include "core/json/writer.hpp"
#include "core/number_format.hpp"
#include "core/quote.hpp"

namespace vesk::json {
namespace {

constexpr size_t kMaxDepth = 128;

// strtod follows the process locale, which the host may have set to one with a decimal comma.
locale_t c_locale() {
  static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return c;
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_space(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

std::string unexpected_float(double v) {
  std::string text = display_number(v);
  if (std::isfinite(v) && text.find('.') == std::string::npos) text += ".0";
  return text;
}

}  // namespace

std::string ReadError::message() const {
  if (!position) return description;
  return fmt::format("{} at line {} column {}", description, position->line, position->column);
}

std::string describe_unexpected(const Value& value) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) return "null";
        else if constexpr (std::is_same_v<T, bool>) return v ? "boolean `true`" : "boolean `false`";
        else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, uint64_t>)
          return fmt::format("integer `{}`", v);
        else if constexpr (std::is_same_v<T, double>) return fmt::format("floating point `{}`", unexpected_float(v));
        else if constexpr (std::is_same_v<T, std::string>) return "string " + quoted(v);
        else if constexpr (std::is_same_v<T, Array>) return "sequence";
        else return "map";
      },
      value.data);
}

Reader::Reader(std::string_view text, bool with_positions) : text_(text), with_positions_(with_positions) {}

Position Reader::position_at(size_t index) const {
  Position p;
  size_t line_start = 0;
  for (size_t i = 0; i < index; ++i) {
    if (text_[i] == '\n') {
      ++p.line;
      line_start = i + 1;
    }
  }
  p.column = index - line_start;
  return p;
}

ReadError Reader::error_here(std::string description) const {
  ReadError e{std::move(description), std::nullopt};
  if (with_positions_) e.position = position_at(index_);
  return e;
}

ReadError Reader::error_ahead(std::string description) const {
  ReadError e{std::move(description), std::nullopt};
  if (with_positions_) e.position = position_at(std::min(index_ + 1, text_.size()));
  return e;
}

ReadError Reader::located(ReadError error) const {
  if (with_positions_ && !error.position) error.position = position_at(index_);
  return error;
}

std::optional<char> Reader::peek() {
  while (index_ < text_.size() && is_space(text_[index_])) ++index_;
  if (index_ >= text_.size()) return std::nullopt;
  return text_[index_];
}

Read<void> Reader::enter() {
  if (++depth_ > kMaxDepth) return std::unexpected(error_ahead("recursion limit exceeded"));
  return {};
}

Read<void> Reader::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    if (index_ >= text_.size()) return std::unexpected(error_here("EOF while parsing a value"));
    if (text_[index_++] != expected) return std::unexpected(error_here("expected ident"));
  }
  return {};
}

Read<Value> Reader::parse_number() {
  const size_t start = index_;
  const bool negative = text_[index_] == '-';
  if (negative) ++index_;
  auto digit_ahead = [&] { return index_ < text_.size() && is_digit(text_[index_]); };
  if (!digit_ahead()) return std::unexpected(error_ahead("invalid number"));
  if (text_[index_] == '0') {
    ++index_;
    if (digit_ahead()) return std::unexpected(error_ahead("invalid number"));
  } else {
    while (digit_ahead()) ++index_;
  }
  bool is_float = false;
  if (index_ < text_.size() && text_[index_] == '.') {
    is_float = true;
    ++index_;
    if (!digit_ahead()) return std::unexpected(error_ahead("invalid number"));
    while (digit_ahead()) ++index_;
  }
  if (index_ < text_.size() && (text_[index_] == 'e' || text_[index_] == 'E')) {
    is_float = true;
    ++index_;
    if (index_ < text_.size() && (text_[index_] == '+' || text_[index_] == '-')) ++index_;
    if (!digit_ahead()) return std::unexpected(error_ahead("invalid number"));
    while (digit_ahead()) ++index_;
  }
  const std::string lexeme(text_.substr(start, index_ - start));
  if (!is_float) {
    // Integers that do not fit 64 bits are read as floats.
    errno = 0;
    if (negative) {
      const long long v = std::strtoll(lexeme.c_str(), nullptr, 10);
      if (errno == 0) return Value(static_cast<int64_t>(v));
    } else {
      const unsigned long long v = std::strtoull(lexeme.c_str(), nullptr, 10);
      if (errno == 0) return Value(static_cast<uint64_t>(v));
    }
  }
  const double v = strtod_l(lexeme.c_str(), nullptr, c_locale());
  if (std::isinf(v)) return std::unexpected(error_here("number out of range"));
  return Value(v);
}

Read<std::string> Reader::parse_string_body() {
  std::string out;
  while (true) {
    const size_t run_start = index_;
    while (index_ < text_.size()) {
      const auto c = static_cast<unsigned char>(text_[index_]);
      if (c == '"' || c == '\\' || c < 0x20) break;
      ++index_;
    }
    out.append(text_.substr(run_start, index_ - run_start));
    if (index_ >= text_.size()) return std::unexpected(error_here("EOF while parsing a string"));
    const char c = text_[index_];
    if (c == '"') {
      ++index_;
      return out;
    }
    if (c != '\\') return std::unexpected(error_here("control character (\\u0000-\\u001F) found while parsing a string"));
    ++index_;
    if (index_ >= text_.size()) return std::unexpected(error_here("EOF while parsing a string"));
    const char escape = text_[index_++];
    switch (escape) {
      case '"': out.push_back('"'); break;
      case '\\': out.push_back('\\'); break;
      case '/': out.push_back('/'); break;
      case 'b': out.push_back('\b'); break;
      case 'f': out.push_back('\f'); break;
      case 'n': out.push_back('\n'); break;
      case 'r': out.push_back('\r'); break;
      case 't': out.push_back('\t'); break;
      case 'u': {
        auto hex4 = [&]() -> Read<uint32_t> {
          uint32_t cp = 0;
          for (int i = 0; i < 4; ++i) {
            if (index_ >= text_.size()) return std::unexpected(error_here("EOF while parsing a string"));
            const int h = hex_value(text_[index_++]);
            if (h < 0) return std::unexpected(error_here("invalid escape"));
            cp = cp * 16 + static_cast<uint32_t>(h);
          }
          return cp;
        };
        auto cp = hex4();
        if (!cp) return std::unexpected(cp.error());
        if (*cp >= 0xDC00 && *cp <= 0xDFFF) return std::unexpected(error_here("invalid unicode code point"));
        if (*cp >= 0xD800 && *cp <= 0xDBFF) {
          if (index_ + 1 >= text_.size() || text_[index_] != '\\' || text_[index_ + 1] != 'u')
            return std::unexpected(error_here("lone leading surrogate in hex escape"));
          index_ += 2;
          auto low = hex4();
          if (!low) return std::unexpected(low.error());
          if (*low < 0xDC00 || *low > 0xDFFF) return std::unexpected(error_here("lone leading surrogate in hex escape"));
          *cp = 0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00);
        }
        append_utf8(out, *cp);
        break;
      }
      default: return std::unexpected(error_here("invalid escape"));
    }
  }
}

Read<Value> Reader::read_scalar_for_message() {
  const char c = text_[index_];
  if (c == 'n') {
    ++index_;
    if (auto r = parse_ident("ull"); !r) return std::unexpected(r.error());
    return Value(nullptr);
  }
  if (c == 't' || c == 'f') {
    ++index_;
    if (auto r = parse_ident(c == 't' ? "rue" : "alse"); !r) return std::unexpected(r.error());
    return Value(c == 't');
  }
  if (c == '-' || is_digit(c)) return parse_number();
  ++index_;  // opening quote
  auto s = parse_string_body();
  if (!s) return std::unexpected(s.error());
  return Value(std::move(*s));
}

Read<void> Reader::invalid_type(std::string_view expected) {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  std::string found;
  if (*c == '[') {
    found = "sequence";
  } else if (*c == '{') {
    found = "map";
  } else if (*c == 'n' || *c == 't' || *c == 'f' || *c == '-' || *c == '"' || is_digit(*c)) {
    auto v = read_scalar_for_message();
    if (!v) return std::unexpected(v.error());
    found = describe_unexpected(*v);
  } else {
    return std::unexpected(error_ahead("expected value"));
  }
  return std::unexpected(error_here(fmt::format("invalid type: {}, expected {}", found, expected)));
}

Read<bool> Reader::read_bool() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c != 't' && *c != 'f') return std::unexpected(invalid_type("a boolean").error());
  auto v = read_scalar_for_message();
  if (!v) return std::unexpected(v.error());
  return *v->if_bool();
}

Read<uint64_t> Reader::read_unsigned(uint64_t max, std::string_view expected) {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c != '-' && !is_digit(*c)) return std::unexpected(invalid_type(expected).error());
  auto v = parse_number();
  if (!v) return std::unexpected(v.error());
  if (auto u = v->as_u64()) {
    if (*u <= max) return *u;
    return std::unexpected(error_here(fmt::format("invalid value: integer `{}`, expected {}", *u, expected)));
  }
  if (v->is_integer())
    return std::unexpected(error_here(fmt::format("invalid value: {}, expected {}", describe_unexpected(*v), expected)));
  return std::unexpected(error_here(fmt::format("invalid type: {}, expected {}", describe_unexpected(*v), expected)));
}

Read<int64_t> Reader::read_signed(std::string_view expected) {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c != '-' && !is_digit(*c)) return std::unexpected(invalid_type(expected).error());
  auto v = parse_number();
  if (!v) return std::unexpected(v.error());
  if (auto i = v->as_i64()) return *i;
  if (v->is_integer())
    return std::unexpected(error_here(fmt::format("invalid value: {}, expected {}", describe_unexpected(*v), expected)));
  return std::unexpected(error_here(fmt::format("invalid type: {}, expected {}", describe_unexpected(*v), expected)));
}

Read<double> Reader::read_f64() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c != '-' && !is_digit(*c)) return std::unexpected(invalid_type("f64").error());
  auto v = parse_number();
  if (!v) return std::unexpected(v.error());
  return *v->as_f64();
}

Read<std::string> Reader::read_string() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c != '"') return std::unexpected(invalid_type("a string").error());
  ++index_;
  return parse_string_body();
}

namespace {
std::string expected_variants(std::span<const std::string_view> names) {
  if (names.empty()) return "there are no variants";
  if (names.size() == 1) return fmt::format("expected `{}`", names[0]);
  if (names.size() == 2) return fmt::format("expected `{}` or `{}`", names[0], names[1]);
  std::string out = "expected one of ";
  for (size_t i = 0; i < names.size(); ++i) out += fmt::format("{}`{}`", i ? ", " : "", names[i]);
  return out;
}
}  // namespace

Read<size_t> Reader::read_variant(std::span<const std::string_view> names) {
  auto lookup = [&](const std::string& name) -> Read<size_t> {
    for (size_t i = 0; i < names.size(); ++i)
      if (names[i] == name) return i;
    return std::unexpected(error_here(fmt::format("unknown variant `{}`, {}", name, expected_variants(names))));
  };
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c == '"') {
    ++index_;
    auto name = parse_string_body();
    if (!name) return std::unexpected(name.error());
    return lookup(*name);
  }
  if (*c != '{') return std::unexpected(error_ahead("expected value"));
  // {"name": null}: the map form of a unit variant.
  if (auto r = enter(); !r) return std::unexpected(r.error());
  ++index_;
  const auto k = peek();
  if (!k) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*k != '"') return std::unexpected(invalid_type("variant identifier").error());
  ++index_;
  auto name = parse_string_body();
  if (!name) return std::unexpected(name.error());
  auto index = lookup(*name);
  if (!index) return index;
  if (auto r = colon(); !r) return std::unexpected(r.error());
  const auto u = peek();
  if (!u) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*u != 'n') return std::unexpected(invalid_type("unit").error());
  ++index_;
  if (auto r = parse_ident("ull"); !r) return std::unexpected(r.error());
  const auto close = peek();
  if (!close) return std::unexpected(error_here("EOF while parsing an object"));
  if (*close != '}') return std::unexpected(error_here("expected value"));
  ++index_;
  leave();
  return index;
}

Read<bool> Reader::take_null() {
  if (peek() != 'n') return false;
  ++index_;
  if (auto r = parse_ident("ull"); !r) return std::unexpected(r.error());
  return true;
}

Read<bool> Reader::next_element(bool first) {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a list"));
  if (*c == ']') return false;
  if (first) return true;
  if (*c != ',') return std::unexpected(error_ahead("expected `,` or `]`"));
  ++index_;
  const auto next = peek();
  if (!next) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*next == ']') return std::unexpected(error_ahead("trailing comma"));
  return true;
}

Read<void> Reader::end_sequence() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a list"));
  if (*c == ']') {
    ++index_;
    leave();
    return {};
  }
  if (*c == ',') {
    ++index_;
    if (peek() == ']') return std::unexpected(error_ahead("trailing comma"));
  }
  return std::unexpected(error_ahead("trailing characters"));
}

Read<std::optional<std::string>> Reader::next_key(bool first) {
  auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing an object"));
  if (*c == '}') return std::optional<std::string>{};
  if (!first) {
    if (*c != ',') return std::unexpected(error_ahead("expected `,` or `}`"));
    ++index_;
    c = peek();
    if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
    if (*c == '}') return std::unexpected(error_ahead("trailing comma"));
  }
  if (*c != '"') return std::unexpected(error_ahead("key must be a string"));
  ++index_;
  auto key = parse_string_body();
  if (!key) return std::unexpected(key.error());
  return std::optional<std::string>(std::move(*key));
}

Read<void> Reader::colon() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing an object"));
  if (*c != ':') return std::unexpected(error_ahead("expected `:`"));
  ++index_;
  return {};
}

Read<void> Reader::end_object() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing an object"));
  if (*c == '}') {
    ++index_;
    leave();
    return {};
  }
  if (*c == ',') return std::unexpected(error_ahead("trailing comma"));
  return std::unexpected(error_ahead("trailing characters"));
}

Read<void> Reader::finish() {
  if (peek()) return std::unexpected(error_ahead("trailing characters"));
  return {};
}

Read<Value> Reader::read_array_value() {
  if (auto r = enter(); !r) return std::unexpected(r.error());
  ++index_;
  Array items;
  for (bool first = true;; first = false) {
    auto more = next_element(first);
    if (!more) return std::unexpected(more.error());
    if (!*more) break;
    auto item = read_value();
    if (!item) return item;
    items.push_back(std::move(*item));
  }
  if (auto r = end_sequence(); !r) return std::unexpected(r.error());
  return Value(std::move(items));
}

Read<Value> Reader::read_object_value() {
  if (auto r = enter(); !r) return std::unexpected(r.error());
  ++index_;
  Object members;
  for (bool first = true;; first = false) {
    auto key = next_key(first);
    if (!key) return std::unexpected(key.error());
    if (!*key) break;
    if (auto r = colon(); !r) return std::unexpected(r.error());
    auto item = read_value();
    if (!item) return item;
    members.insert_or_assign(std::move(**key), std::move(*item));  // a repeated key: the last one wins
  }
  if (auto r = end_object(); !r) return std::unexpected(r.error());
  return Value(std::move(members));
}

Read<Value> Reader::read_value() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c == '[') return read_array_value();
  if (*c == '{') return read_object_value();
  if (*c == 'n' || *c == 't' || *c == 'f' || *c == '-' || *c == '"' || is_digit(*c)) return read_scalar_for_message();
  return std::unexpected(error_ahead("expected value"));
}

Read<void> Reader::skip_container(char open) {
  if (auto r = enter(); !r) return r;
  ++index_;
  const char close = open == '[' ? ']' : '}';
  if (peek() == close) {
    ++index_;
    leave();
    return {};
  }
  while (true) {
    if (open == '{') {
      const auto k = peek();
      if (!k) return std::unexpected(error_ahead("EOF while parsing an object"));
      if (*k != '"') return std::unexpected(error_ahead("key must be a string"));
      ++index_;
      if (auto s = parse_string_body(); !s) return std::unexpected(s.error());
      if (auto r = colon(); !r) return r;
    }
    if (auto r = skip_value(); !r) return r;
    const auto c = peek();
    if (!c) return std::unexpected(error_ahead(open == '[' ? "EOF while parsing a list" : "EOF while parsing an object"));
    if (*c == ',') {
      ++index_;
      continue;
    }
    if (*c == close) {
      ++index_;
      leave();
      return {};
    }
    return std::unexpected(error_ahead(open == '[' ? "expected `,` or `]`" : "expected `,` or `}`"));
  }
}

Read<void> Reader::skip_value() {
  const auto c = peek();
  if (!c) return std::unexpected(error_ahead("EOF while parsing a value"));
  if (*c == '[' || *c == '{') return skip_container(*c);
  if (*c == 'n' || *c == 't' || *c == 'f' || *c == '-' || *c == '"' || is_digit(*c)) {
    auto v = read_scalar_for_message();
    if (!v && v.error().description != "number out of range") return std::unexpected(v.error());
    return {};
  }
  return std::unexpected(error_ahead("expected value"));
}

}  // namespace vesk::json
