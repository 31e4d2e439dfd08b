#include "core/number_format.hpp"

#include <charconv>
#include <cmath>
#include <fmt/format.h>

namespace vesk {
namespace {

struct ShortestDigits {
  bool negative = false;
  std::string digits;  // significant digits, no leading zeros (at least one digit)
  int exponent = 0;    // value = d.ddd x 10^exponent
};

ShortestDigits shortest_digits(double value) {
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  (void)ec;
  std::string_view text(buf, static_cast<size_t>(end - buf));
  ShortestDigits out;
  if (text.front() == '-') {
    out.negative = true;
    text.remove_prefix(1);
  }
  const size_t e = text.find('e');
  for (char c : text.substr(0, e))
    if (c != '.') out.digits.push_back(c);
  std::from_chars(text.data() + e + 1 + (text[e + 1] == '+'), text.data() + text.size(), out.exponent);
  return out;
}

std::string special(double value) {
  if (std::isnan(value)) return "NaN";
  return value < 0 ? "-inf" : "inf";
}

// Plain decimal of the shortest digits; keep_fraction adds ".0" to whole numbers.
std::string plain(double value, bool keep_fraction) {
  const ShortestDigits d = shortest_digits(value);
  std::string out = d.negative ? "-" : "";
  const int point = d.exponent + 1;  // digits before the decimal point
  const int n = static_cast<int>(d.digits.size());
  if (point <= 0) {
    out += "0.";
    out.append(static_cast<size_t>(-point), '0');
    out += d.digits;
  } else if (point >= n) {
    out += d.digits;
    out.append(static_cast<size_t>(point - n), '0');
    if (keep_fraction) out += ".0";
  } else {
    out += d.digits.substr(0, static_cast<size_t>(point));
    out += '.';
    out += d.digits.substr(static_cast<size_t>(point));
  }
  return out;
}

}  // namespace

std::string display_number(double value) {
  if (!std::isfinite(value)) return special(value);
  if (value == 0) return std::signbit(value) ? "-0" : "0";
  return plain(value, false);
}

std::string diagnostic_number(double value) {
  if (!std::isfinite(value)) return special(value);
  if (value == 0) return std::signbit(value) ? "-0.0" : "0.0";
  const double magnitude = std::fabs(value);
  if (magnitude >= 1e16 || magnitude < 1e-4) {
    const ShortestDigits d = shortest_digits(value);
    std::string out = d.negative ? "-" : "";
    out.push_back(d.digits[0]);
    if (d.digits.size() > 1) {
      out.push_back('.');
      out.append(d.digits, 1);
    }
    out.push_back('e');
    out.append(std::to_string(d.exponent));
    return out;
  }
  return plain(value, true);
}

std::string fixed_number(double value, int decimals) { return fmt::format("{:.{}f}", value, decimals); }

}  // namespace vesk
