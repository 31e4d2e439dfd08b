#pragma once
// The registration operation of each subsystem's Python face: each fills the module it is
// given, in its fixed attribute order, and throws vesk::py::PythonError on failure.
#include "binding/ref.hpp"

namespace vesk::py {

void build_vesk_rl(PyObject* module);            // rl.cpp
void register_tracker_module(PyObject* module);  // tracker.cpp
void register_registry_module(PyObject* module); // registry.cpp
void register_hpo_module(PyObject* module);      // hpo.cpp
void register_walk_forward_module(PyObject* module);  // walk_forward.cpp
void register_distributed_module(PyObject* module);   // distributed.cpp
void build_vesk_llm(PyObject* module);           // llm.cpp
void register_trading_module(PyObject* module);  // trading.cpp

}  // namespace vesk::py
