#pragma once
// Compact JSON text. Records are written with keys in the order the caller gives them;
// floats in the shortest form that reads back (".0" kept on whole numbers), non-finite as null;
// UTF-8 is left unescaped.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/json/value.hpp"

namespace vesk::json {

class Writer {
 public:
  Writer& null();
  Writer& boolean(bool v);
  Writer& integer(int64_t v);
  Writer& integer(uint64_t v);
  Writer& number(double v);
  Writer& string(std::string_view v);
  Writer& value(const Value& v);

  Writer& begin_object();
  Writer& key(std::string_view k);
  Writer& end_object();
  Writer& begin_array();
  Writer& end_array();

  const std::string& text() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void separate();  // the comma before an array element or object member

  std::string out_;
  std::vector<bool> first_in_container_;
  bool after_key_ = false;
};

std::string to_text(const Value& value);

}  // namespace vesk::json
