#pragma once
// One object per name per interpreter, shared by every copy of this library that is loaded
// (the same library answers to three module names), kept in the interpreter's state dict.
#include <string_view>

#include "binding/ref.hpp"

namespace vesk::py {

// Borrowed object registered under `name`, or nullptr.
PyObject* registry_find(std::string_view name);
// Registers `object` under `name` (the registry keeps a reference) and returns it borrowed.
PyObject* registry_add(std::string_view name, PyObject* object);

}  // namespace vesk::py
