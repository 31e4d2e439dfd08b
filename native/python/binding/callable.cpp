#include "binding/callable.hpp"

#include "binding/convert.hpp"

namespace vesk::py {

void add_function(PyObject* module, PyMethodDef& def) {
  Ref module_name = check_new(PyObject_GetAttrString(module, "__name__"));
  Ref fn = check_new(PyCFunction_NewEx(&def, module, module_name.get()));
  add_attribute(module, def.ml_name, std::move(fn));
}

void add_attribute(PyObject* module, const char* name, Ref value) {
  check_status(PyModule_AddObjectRef(module, name, value.get()));
}

void add_string(PyObject* module, const char* name, const char* value) { add_attribute(module, name, py_str(value)); }

}  // namespace vesk::py
