# `llm.trading` is a module object of its own (not importable by its dotted name), but it holds
# the very same classes as `_native.trading`, so that module's stubs describe it.
from vesk_quant._native import trading as trading
