#include "core/quote.hpp"

#include <fmt/format.h>

namespace vesk {

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (c < 0x20 || c == 0x7f) out += fmt::format("\\u{{{:x}}}", c);
        else out += ch;
    }
  }
  return out + "\"";
}

}  // namespace vesk
