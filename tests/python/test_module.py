"""The module tree, the three entry points and the binding conventions every callable follows."""
import inspect
import subprocess
import sys

import pytest

import vesk_llm
import vesk_quant
import vesk_rl
from vesk_quant import _native

SUBMODULES = ["rl", "tracker", "registry", "hpo", "walk_forward", "distributed", "llm", "trading"]


def test_tree_in_registration_order():
    assert _native.__version__ == "0.1.0"
    assert [k for k in vars(_native) if not k.startswith("__")] == SUBMODULES
    for name in SUBMODULES:
        sub = getattr(_native, name)
        assert sub.__name__ == name
        assert sub.__doc__ is None


def test_version_attributes():
    for name in ["hpo", "walk_forward", "distributed", "tracker", "registry"]:
        assert getattr(_native, name).__version__ == "0.1.1"
    assert _native.rl.VERSION == "0.1.1"
    assert not hasattr(_native.rl, "__version__")
    for module in [_native.llm, _native.trading, _native.llm.trading]:
        assert not hasattr(module, "__version__")
        assert not hasattr(module, "VERSION")


def test_docstrings_of_the_three_modules():
    assert _native.__doc__ == "VESK Riziz Python 模块(原生扩展,由 __init__.py 导入并重新导出)"
    assert vesk_rl.__doc__ == "`vesk_rl` Python 模块"
    assert "vesk_llm" in vesk_llm.__doc__ and "_native.llm" in vesk_llm.__doc__


def test_trading_is_mounted_twice_as_separate_modules():
    assert _native.trading is not _native.llm.trading
    assert vesk_llm.trading is not _native.llm.trading


def test_no_submodule_enters_sys_modules():
    code = (
        "import sys, vesk_quant, vesk_llm, vesk_rl;"
        "print(sorted(m for m in sys.modules if 'vesk' in m or m.split('.')[-1] in %r))" % SUBMODULES
    )
    out = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, check=True).stdout
    assert out.strip() == "['vesk_llm', 'vesk_quant', 'vesk_quant._native', 'vesk_rl']"


def test_package_reexports_the_native_submodules():
    assert vesk_quant.__version__ == "0.1.0"
    assert vesk_quant.walk_forward is _native.walk_forward


def test_classes_report_builtins_and_their_bare_name():
    cls = _native.walk_forward.WalkForwardRunner
    assert cls.__module__ == "builtins"
    assert cls.__qualname__ == "WalkForwardRunner"
    assert str(inspect.signature(cls)) == "(config)"


def test_every_callable_has_a_signature_and_help():
    wf = _native.walk_forward
    assert str(inspect.signature(wf.py_embargo_indices)) == "(test_idx, embargo_pct, n_total)"
    runner = wf.WalkForwardRunner({"train_size": 1, "test_size": 1, "step_size": 1, "window_type": "rolling"})
    assert str(inspect.signature(runner.split)) == "(n_samples)"
    assert wf.py_detect_leakage.__doc__ == "便捷函数：泄漏检测"
    for fn in [wf.py_aggregate_folds, wf.py_deflated_sharpe, wf.py_detect_leakage, wf.py_purge_overlapping_labels,
               wf.py_embargo_indices, wf.WalkForwardRunner.split]:
        assert inspect.signature(fn) is not None
        assert fn.__text_signature__.startswith("(")


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda f: f(1.0, 10), "missing 1 required positional argument: 'sharpe_std'"),
        (lambda f: f(), "missing 3 required positional arguments"),
        (lambda f: f(1.0, 10, 1.0, 4), "takes 3 positional arguments but 4 were given"),
        (lambda f: f(1.0, 10, sharpe_std=1.0, bogus=2), "unexpected keyword argument 'bogus'"),
        (lambda f: f(1.0, 10, 1.0, **{"bad\ud800": 2}), "unexpected keyword argument 'bad\ud800'"),
        (lambda f: f(1.0, 10, 1.0, observed_sharpe=2.0), "multiple values for argument 'observed_sharpe'"),
        (lambda f: f("1.0", 10, 1.0), "argument 'observed_sharpe': "),
        (lambda f: f(1.0, 1.5, 1.0), "argument 'n_trials': "),
    ],
)
def test_argument_binding_errors_name_the_function_and_argument(call, message):
    with pytest.raises(TypeError, match=message):
        call(_native.walk_forward.py_deflated_sharpe)


def test_keywords_and_float_conversions():
    f = _native.walk_forward.py_deflated_sharpe

    class Half:
        def __float__(self):
            return 0.5

    class Two:
        def __index__(self):
            return 2

    assert f(sharpe_std=1.0, n_trials=10, observed_sharpe=1.0) == f(1.0, 10, 1.0)
    assert f(1, 10, Two()) == f(1.0, 10, 2.0)
    assert f(Half(), Two(), 1.0) == f(0.5, 2, 1.0)
    with pytest.raises(OverflowError):
        f(1.0, -1, 1.0)


def test_shared_reentrant_use_is_allowed():
    # A dict whose json.dumps calls back into the same runner while it is being built is not
    # possible (construction has no instance yet), so exercise the guard through split's
    # argument conversion: __index__ runs while split holds a shared borrow; shared is fine.
    runner = _native.walk_forward.WalkForwardRunner(
        {"train_size": 10, "test_size": 5, "step_size": 5, "window_type": "rolling"})

    class Reenter:
        def __index__(self):
            assert len(runner.split(20)) == 2
            return 15

    assert len(runner.split(Reenter())) == 1


def test_each_interpreter_gets_its_own_classes():
    # A sub-interpreter sharing the process must not hand its type objects to the main one:
    # they die with it.
    code = """
import _interpreters
sub = _interpreters.create(_interpreters.new_config("legacy"))
failure = _interpreters.run_string(sub, '''
from vesk_quant import trading
tool = trading.PlaceOrderTool(trading.MockTradingBackend(), "direct", trading.RiskLimits.permissive())
assert tool.execute({"symbol": "BTC-USDT", "side": "Buy", "quantity": 0.01})["order_id"] == "MOCK-1"
''')
assert failure is None, failure
_interpreters.destroy(sub)
import gc
from vesk_quant import trading, walk_forward
gc.collect()
backend = trading.MockTradingBackend()
tool = trading.PlaceOrderTool(backend, "direct", trading.RiskLimits(max_daily_orders=3))
assert tool.execute({"symbol": "BTC-USDT", "side": "Buy", "quantity": 0.01})["status"] == "Filled"
assert repr(backend) == "MockTradingBackend(orders=1)"
assert walk_forward.WalkForwardRunner.__qualname__ == "WalkForwardRunner"
print("ok")
"""
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    assert result.stdout.strip() == "ok"
