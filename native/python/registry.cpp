// Python face of the registry subsystem; its classes and functions arrive with the subsystem.
#include "binding/callable.hpp"
#include "modules.hpp"

namespace vesk::py {

void register_registry_module(PyObject* module) { add_string(module, "__version__", "0.1.1"); }

}  // namespace vesk::py
