// The three module entry points. The same library is installed as vesk_quant/_native, vesk_llm
// and vesk_rl; each entry point hands its definition to multi-phase initialisation.
#include <string>

#include "binding/callable.hpp"
#include "binding/convert.hpp"
#include "modules.hpp"

namespace vesk::py {
namespace {

using Register = void (*)(PyObject*);

struct Submodule {
  const char* name;
  Register fill;
};

// Registration order is part of the module's contract.
constexpr Submodule kNativeTree[] = {
    {"rl", build_vesk_rl},
    {"tracker", register_tracker_module},
    {"registry", register_registry_module},
    {"hpo", register_hpo_module},
    {"walk_forward", register_walk_forward_module},
    {"distributed", register_distributed_module},
    {"llm", build_vesk_llm},
    {"trading", register_trading_module},
};

int exec_native(PyObject* module) {
  return guarded_status([&] {
    add_string(module, "__version__", "0.1.0");
    for (const Submodule& sub : kNativeTree) {
      // Not entered into sys.modules: submodules are reached by attribute only.
      Ref child = check_new(PyModule_New(sub.name));
      sub.fill(child.get());
      add_attribute(module, sub.name, std::move(child));
    }
  });
}

int exec_llm(PyObject* module) { return guarded_status([&] { build_vesk_llm(module); }); }
int exec_rl(PyObject* module) { return guarded_status([&] { build_vesk_rl(module); }); }

#ifdef Py_mod_gil
#define VESK_GIL_SLOT {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#else
#define VESK_GIL_SLOT
#endif

PyModuleDef_Slot native_slots[] = {{Py_mod_exec, reinterpret_cast<void*>(&exec_native)}, VESK_GIL_SLOT{0, nullptr}};
PyModuleDef_Slot llm_slots[] = {{Py_mod_exec, reinterpret_cast<void*>(&exec_llm)}, VESK_GIL_SLOT{0, nullptr}};
PyModuleDef_Slot rl_slots[] = {{Py_mod_exec, reinterpret_cast<void*>(&exec_rl)}, VESK_GIL_SLOT{0, nullptr}};

PyModuleDef native_def = {PyModuleDef_HEAD_INIT, "_native",
                          "VESK Riziz Python 模块(原生扩展,由 __init__.py 导入并重新导出)", 0, nullptr,
                          native_slots, nullptr, nullptr, nullptr};
PyModuleDef llm_def = {PyModuleDef_HEAD_INIT, "vesk_llm",
                       "`vesk_llm` Python 模块：可直接以 `vesk_llm` 导入，也由总模块挂载为子模块 `_native.llm`", 0,
                       nullptr, llm_slots, nullptr, nullptr, nullptr};
PyModuleDef rl_def = {PyModuleDef_HEAD_INIT, "vesk_rl", "`vesk_rl` Python 模块", 0, nullptr, rl_slots,
                      nullptr, nullptr, nullptr};

}  // namespace
}  // namespace vesk::py

PyMODINIT_FUNC PyInit__native() { return PyModuleDef_Init(&vesk::py::native_def); }
PyMODINIT_FUNC PyInit_vesk_llm() { return PyModuleDef_Init(&vesk::py::llm_def); }
PyMODINIT_FUNC PyInit_vesk_rl() { return PyModuleDef_Init(&vesk::py::rl_def); }
