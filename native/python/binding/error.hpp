#pragma once
// Errors inside binding code travel as C++ exceptions up to the one guard around every entry
// point: PythonError means "a Python exception is already set"; running out of memory (or asking
// for more than a container can hold) is MemoryError; any other C++ exception is an internal
// failure and becomes the BaseException-derived internal failure class.
#include <exception>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "binding/ref.hpp"

namespace vesk::py {

struct PythonError {};

[[noreturn]] void raise(PyObject* exception_class, std::string_view message);
[[noreturn]] inline void raise_value_error(std::string_view m) { raise(PyExc_ValueError, m); }
[[noreturn]] inline void raise_type_error(std::string_view m) { raise(PyExc_TypeError, m); }
[[noreturn]] inline void raise_runtime_error(std::string_view m) { raise(PyExc_RuntimeError, m); }

// Throws PythonError when p is null (a CPython call failed and set the error).
inline PyObject* check(PyObject* p) {
  if (!p) throw PythonError{};
  return p;
}
inline Ref check_new(PyObject* p) { return Ref::steal(check(p)); }
inline void check_status(int status) {
  if (status < 0) throw PythonError{};
}

// The class raised for broken invariants; derives directly from BaseException.
PyObject* internal_failure_class();
void set_internal_failure(const char* message) noexcept;

template <class F>
PyObject* guarded(F&& body) noexcept {
  try {
    return body().release();
  } catch (const PythonError&) {
    return nullptr;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
    return nullptr;
  } catch (const std::length_error&) {
    PyErr_NoMemory();
    return nullptr;
  } catch (const std::exception& e) {
    set_internal_failure(e.what());
    return nullptr;
  } catch (...) {
    set_internal_failure("unknown internal failure");
    return nullptr;
  }
}

// Same guard for entry points that report with an int status (module execution steps).
template <class F>
int guarded_status(F&& body) noexcept {
  try {
    body();
    return 0;
  } catch (const PythonError&) {
    return -1;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
    return -1;
  } catch (const std::length_error&) {
    PyErr_NoMemory();
    return -1;
  } catch (const std::exception& e) {
    set_internal_failure(e.what());
    return -1;
  } catch (...) {
    set_internal_failure("unknown internal failure");
    return -1;
  }
}

}  // namespace vesk::py
