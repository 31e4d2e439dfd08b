// Python face of the trading tools (placeholder until the trading binding lands; keep the
// function name: the LLM builder and module.cpp call it).
#include "modules.hpp"

namespace vesk::py {

void register_trading_module(PyObject*) {}

}  // namespace vesk::py
