#pragma once
// Owning reference to a Python object: the only place binding code drops references.
#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <utility>

namespace vesk::py {

class Ref {
 public:
  Ref() = default;
  static Ref steal(PyObject* p) { return Ref(p); }  // takes over a new reference
  static Ref borrow(PyObject* p) {
    Py_XINCREF(p);
    return Ref(p);
  }
  Ref(const Ref& other) : p_(other.p_) { Py_XINCREF(p_); }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }
  ~Ref() { Py_XDECREF(p_); }

  PyObject* get() const { return p_; }
  PyObject* release() { return std::exchange(p_, nullptr); }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  explicit Ref(PyObject* p) : p_(p) {}
  PyObject* p_ = nullptr;
};

}  // namespace vesk::py
