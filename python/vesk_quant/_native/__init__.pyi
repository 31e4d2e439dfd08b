# Type stubs of the native extension (the runtime module is the compiled _native library).
from . import distributed as distributed
from . import hpo as hpo
from . import llm as llm
from . import registry as registry
from . import rl as rl
from . import tracker as tracker
from . import trading as trading
from . import walk_forward as walk_forward

__version__: str
