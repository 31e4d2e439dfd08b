#pragma once
// Module functions and static methods declared by their docstring:
//
//   function<&py_deflated_sharpe>("py_deflated_sharpe(observed_sharpe, n_trials, sharpe_std)\n--\n\n...")
//
// where the implementation is `Ref impl(const Args&)`. Calls use vectorcall
// (METH_FASTCALL | METH_KEYWORDS) and run inside the one guard.
#include <string>

#include "binding/error.hpp"
#include "binding/signature.hpp"

namespace vesk::py {

using FunctionImpl = Ref (*)(const Args&);

// Per-callable data, created once per process at registration.
struct CallableSpec {
  Signature signature;
  PyMethodDef def{};
};

// Never destroyed: it holds Python objects, which must not be released after the interpreter
// has finalised at process exit.
template <auto Impl>
CallableSpec& spec_of() {
  static CallableSpec& spec = *new CallableSpec;
  return spec;
}

template <FunctionImpl Impl>
PyObject* call_function(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  return guarded([&] { return Impl(bind_fastcall(spec_of<Impl>().signature, args, nargs, kwnames)); });
}

inline PyMethodDef& describe(CallableSpec& spec, const char* doc, PyCFunction entry, int extra_flags) {
  if (!spec.def.ml_name) {
    spec.signature = parse_signature(doc);
    spec.def = {spec.signature.name.c_str(), entry, METH_FASTCALL | METH_KEYWORDS | extra_flags, doc};
  }
  return spec.def;
}

template <FunctionImpl Impl>
PyMethodDef& function(const char* doc) {
  return describe(spec_of<Impl>(), doc, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_function<Impl>)), 0);
}

template <FunctionImpl Impl>
PyMethodDef& static_method(const char* doc) {
  return describe(spec_of<Impl>(), doc, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_function<Impl>)),
                  METH_STATIC);
}

// Adds a module-level function object made from `def`.
void add_function(PyObject* module, PyMethodDef& def);
// Adds any attribute, keeping insertion order.
void add_attribute(PyObject* module, const char* name, Ref value);
void add_string(PyObject* module, const char* name, const char* value);

}  // namespace vesk::py
