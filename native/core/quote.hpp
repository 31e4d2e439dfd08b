#pragma once
#include <string>
#include <string_view>

namespace vesk {

// Quoted-literal form of a text inside a message: double quotes, with backslash escapes for
// `"`, `\` and control characters ("a\"b" -> "\"a\\\"b\"", tab -> "\t", 0x01 -> "\u{1}").
std::string quoted(std::string_view text);

}  // namespace vesk
