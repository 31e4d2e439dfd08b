#include "binding/registry.hpp"

#include "binding/error.hpp"

namespace vesk::py {
namespace {

PyObject* text(std::string_view s) {
  return check(PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size())));
}

// Borrowed; created on first use.
PyObject* registry_dict() {
  PyObject* state = check(PyInterpreterState_GetDict(PyInterpreterState_Get()));
  Ref key = Ref::steal(text("vesk_quant._native.registry"));
  if (PyObject* found = PyDict_GetItemWithError(state, key.get())) return found;
  if (PyErr_Occurred()) throw PythonError{};
  Ref fresh = check_new(PyDict_New());
  check_status(PyDict_SetItem(state, key.get(), fresh.get()));
  return fresh.get();
}

}  // namespace

PyObject* registry_find(std::string_view name) {
  Ref key = Ref::steal(text(name));
  PyObject* found = PyDict_GetItemWithError(registry_dict(), key.get());
  if (!found && PyErr_Occurred()) throw PythonError{};
  return found;
}

PyObject* registry_add(std::string_view name, PyObject* object) {
  Ref key = Ref::steal(text(name));
  check_status(PyDict_SetItem(registry_dict(), key.get(), object));
  return object;
}

}  // namespace vesk::py
