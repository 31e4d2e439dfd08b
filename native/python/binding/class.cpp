#include "binding/class.hpp"

namespace vesk::py {

PyObject* create_heap_type(const char* qualified_name, int basicsize, std::vector<PyType_Slot>& slots) {
  slots.push_back({0, nullptr});
  PyType_Spec spec{qualified_name, basicsize, 0, Py_TPFLAGS_DEFAULT | Py_TPFLAGS_IMMUTABLETYPE, slots.data()};
  return check(PyType_FromSpec(&spec));
}

}  // namespace vesk::py
