#include "core/json/value.hpp"

#include <limits>

namespace vesk::json {

std::optional<int64_t> Value::as_i64() const {
  if (auto v = std::get_if<int64_t>(&data)) return *v;
  if (auto v = std::get_if<uint64_t>(&data); v && *v <= static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
    return static_cast<int64_t>(*v);
  return std::nullopt;
}

std::optional<uint64_t> Value::as_u64() const {
  if (auto v = std::get_if<uint64_t>(&data)) return *v;
  return std::nullopt;
}

std::optional<double> Value::as_f64() const {
  if (auto v = std::get_if<double>(&data)) return *v;
  if (auto v = std::get_if<int64_t>(&data)) return static_cast<double>(*v);
  if (auto v = std::get_if<uint64_t>(&data)) return static_cast<double>(*v);
  return std::nullopt;
}

const Value* Value::find(std::string_view key) const {
  const Object* object = if_object();
  if (!object) return nullptr;
  auto it = object->find(key);
  return it == object->end() ? nullptr : &it->second;
}

}  // namespace vesk::json
