"""VESK Riziz: quantitative-trading research on a native C++ core.

The native extension lives in ``vesk_quant._native``; its submodules are re-exported here so
that ``vesk_quant.walk_forward`` and ``vesk_quant._native.walk_forward`` are the same object.
"""

from . import _native
from ._native import (  # noqa: F401
    __version__,
    distributed,
    hpo,
    llm,
    registry,
    rl,
    tracker,
    trading,
    walk_forward,
)

__all__ = [
    "__version__",
    "_native",
    "rl",
    "tracker",
    "registry",
    "hpo",
    "walk_forward",
    "distributed",
    "llm",
    "trading",
]
