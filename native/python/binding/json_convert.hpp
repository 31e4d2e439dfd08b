#pragma once
// Python objects <-> JSON values, for interfaces whose arguments and answers are JSON.
#include "binding/ref.hpp"
#include "core/json/value.hpp"

namespace vesk::py {

// None, str, bool, integers (i64, else u64, else as a float), finite floats, lists and dicts
// with str keys (object keys end up in ascending order). NaN/Inf raise ValueError
// "NaN/Inf not allowed"; other kinds raise TypeError "unsupported type: NAME".
json::Value pythonize(PyObject* object);

// null -> None, bool, integer -> int, other numbers -> float, str, list, dict (keys in the
// value's ascending order).
Ref json_to_py(const json::Value& value);

}  // namespace vesk::py
