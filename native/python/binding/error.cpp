#include "binding/error.hpp"

#include <string>

#include "binding/registry.hpp"

namespace vesk::py {

void raise(PyObject* exception_class, std::string_view message) {
  PyErr_SetString(exception_class, std::string(message).c_str());
  throw PythonError{};
}

PyObject* internal_failure_class() {
  constexpr std::string_view kName = "vesk_quant.NativeInternalError";
  if (PyObject* existing = registry_find(kName)) return existing;
  Ref cls = check_new(PyErr_NewExceptionWithDoc(
      "vesk_quant.NativeInternalError",
      "An invariant of the native core failed. Derives from BaseException so that ordinary "
      "`except Exception` handlers do not swallow it.",
      PyExc_BaseException, nullptr));
  return registry_add(kName, cls.get());
}

void set_internal_failure(const char* message) noexcept {
  PyErr_Clear();  // a half-raised error must not make the class lookup below fail
  try {
    PyErr_SetString(internal_failure_class(), message);
  } catch (...) {
    Py_FatalError("vesk_quant: could not raise an internal failure");
  }
  if (!PyErr_Occurred()) Py_FatalError("vesk_quant: could not raise an internal failure");
}

}  // namespace vesk::py
