// Python face of the LLM backend: make_backend, LLMBackend and LLMMessage arrive with the LLM
// subsystem; the trading submodule is mounted here already.
#include "binding/callable.hpp"
#include "modules.hpp"

namespace vesk::py {

void build_vesk_llm(PyObject* module) {
  Ref trading = check_new(PyModule_New("trading"));
  register_trading_module(trading.get());
  add_attribute(module, "trading", std::move(trading));
}

}  // namespace vesk::py
