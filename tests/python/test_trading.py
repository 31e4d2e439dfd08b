"""The trading tools from Python: classes, conversions, error mapping and logging."""
import ast
import inspect
import logging
import math
import subprocess
import sys
from collections import OrderedDict
from fractions import Fraction
from pathlib import Path

import pytest

import vesk_llm
from vesk_quant import _native

trading = _native.trading
RiskLimits = trading.RiskLimits
MockTradingBackend = trading.MockTradingBackend
TradingMetrics = trading.TradingMetrics
PlaceOrderTool = trading.PlaceOrderTool
CancelOrderTool = trading.CancelOrderTool
ReplaceOrderTool = trading.ReplaceOrderTool
QueryPortfolioTool = trading.QueryPortfolioTool

BUY = {"symbol": "BTC-USDT", "side": "Buy", "quantity": 0.01}
CLASSES = [
    "RiskLimits",
    "MockTradingBackend",
    "PlaceOrderTool",
    "QueryPortfolioTool",
    "CancelOrderTool",
    "ReplaceOrderTool",
    "TradingMetrics",
]


def samples(metrics, name):
    return {tuple(sorted(s["labels"].items())): s["value"] for s in metrics.snapshot_filtered(name)}


# ---- module and classes


def test_three_mounts_share_one_class_object_each():
    mounts = [_native.trading, _native.llm.trading, vesk_llm.trading]
    assert mounts[0] is not mounts[1] and mounts[1] is not mounts[2]
    for module in mounts:
        assert [k for k in vars(module) if not k.startswith("__")] == CLASSES
        assert not hasattr(module, "__version__")
    for name in CLASSES:
        cls = getattr(mounts[0], name)
        assert all(getattr(m, name) is cls for m in mounts)
        assert (cls.__module__, cls.__qualname__) == ("builtins", name)


def test_text_signatures():
    assert str(inspect.signature(RiskLimits)) == (
        "(max_order_notional=None, max_daily_orders=None, max_daily_cancels=None, "
        "max_position_abs=None, allowed_symbols=None)"
    )
    assert str(inspect.signature(PlaceOrderTool)) == "(backend, mode, risk, metrics=None)"
    assert str(inspect.signature(QueryPortfolioTool.execute)) == "(self, /, args=None)"
    assert RiskLimits.permissive.__doc__ == "默认无限制(全部 None)"
    assert MockTradingBackend.order_count.__doc__ == "已下单数量(测试用)"
    assert PlaceOrderTool.mode.__doc__ == "当前安全模式字符串(便于 LLM agent 决策)"


@pytest.mark.parametrize(
    "limits, text",
    [
        (RiskLimits.permissive(), "RiskLimits(notional=None, daily_orders=None, daily_cancels=None, position_abs=None, allowed=None)"),
        (RiskLimits(max_order_notional=1000), "RiskLimits(notional=Some(1000.0), daily_orders=None, daily_cancels=None, position_abs=None, allowed=None)"),
        (
            RiskLimits(0.5, 10, 0, 1e16, ["BTC-USDT", 'a"b']),
            'RiskLimits(notional=Some(0.5), daily_orders=Some(10), daily_cancels=Some(0), position_abs=Some(1e16), allowed=Some(["BTC-USDT", "a\\"b"]))',
        ),
    ],
)
def test_risk_limits_repr(limits, text):
    assert repr(limits) == text


@pytest.mark.parametrize(
    "kwargs, error",
    [
        ({"max_daily_orders": -1}, OverflowError),
        ({"max_daily_cancels": 2**32}, OverflowError),
        ({"allowed_symbols": "BTC-USDT"}, TypeError),
        ({"allowed_symbols": [1]}, TypeError),
        ({"max_order_notional": "100"}, TypeError),
    ],
)
def test_risk_limits_refuses_wrong_types(kwargs, error):
    with pytest.raises(error):
        RiskLimits(**kwargs)


def test_stubs_declare_every_class_with_its_parameters():
    stubs = Path(__file__).resolve().parents[2] / "python" / "vesk_quant" / "_native" / "trading.pyi"
    tree = ast.parse(stubs.read_text(encoding="utf-8"))
    declared = {
        node.name: node
        for node in tree.body
        if isinstance(node, ast.ClassDef) and not any(getattr(b, "id", None) == "TypedDict" for b in node.bases)
    }
    assert sorted(declared) == sorted(CLASSES)
    for name, node in declared.items():
        cls = getattr(trading, name)
        for fn in node.body:
            if not isinstance(fn, ast.FunctionDef):
                continue
            if any(getattr(d, "id", None) == "property" for d in fn.decorator_list):
                assert hasattr(cls, fn.name), (name, fn.name)
                continue
            target = cls if fn.name == "__init__" else getattr(cls, fn.name)
            runtime = [p for p in inspect.signature(target).parameters if p != "self"]
            assert [a.arg for a in fn.args.args if a.arg != "self"] == runtime, (name, fn.name)


def test_risk_limits_has_no_field_attributes():
    assert not hasattr(RiskLimits(max_order_notional=1.0), "max_order_notional")


def test_reprs_and_mode():
    backend = MockTradingBackend()
    assert repr(backend) == "MockTradingBackend(orders=0)"
    assert repr(TradingMetrics()) == "TradingMetrics()"
    assert repr(PlaceOrderTool(backend, "two_phase", RiskLimits())) == "PlaceOrderTool(mode=two_phase)"
    assert repr(CancelOrderTool(backend, RiskLimits())) == "CancelOrderTool()"
    assert repr(ReplaceOrderTool(backend, RiskLimits())) == "ReplaceOrderTool()"
    assert repr(QueryPortfolioTool(backend)) == "QueryPortfolioTool()"
    tool = PlaceOrderTool(backend, "dry_run", RiskLimits())
    assert tool.mode == "dry_run"
    with pytest.raises(AttributeError):
        tool.mode = "direct"


def test_invalid_mode_names_the_text():
    with pytest.raises(ValueError, match=r"^invalid mode 'DRY_RUN', expected 'dry_run' / 'two_phase' / 'direct'$"):
        PlaceOrderTool(MockTradingBackend(), "DRY_RUN", RiskLimits())


@pytest.mark.parametrize(
    "make",
    [
        lambda b, r, m: PlaceOrderTool("backend", "direct", r),
        lambda b, r, m: PlaceOrderTool(b, "direct", {"max_daily_orders": 1}),
        lambda b, r, m: PlaceOrderTool(b, "direct", r, metrics=b),
        lambda b, r, m: CancelOrderTool(m, r),
        lambda b, r, m: ReplaceOrderTool(b, r, metrics="m"),
        lambda b, r, m: QueryPortfolioTool(r),
    ],
)
def test_arguments_of_the_wrong_class(make):
    with pytest.raises(TypeError, match="argument '"):
        make(MockTradingBackend(), RiskLimits(), TradingMetrics())


# ---- place order


def test_direct_order_fills_on_the_shared_backend():
    backend = MockTradingBackend()
    ack = PlaceOrderTool(backend, "direct", RiskLimits.permissive()).execute(BUY)
    assert list(ack) == ["order_id", "quantity", "side", "status", "symbol", "timestamp_ms"]
    assert (ack["order_id"], ack["status"], ack["quantity"]) == ("MOCK-1", "Filled", 0.01)
    assert isinstance(ack["timestamp_ms"], int)
    assert backend.order_count() == 1


def test_two_phase_round_trip():
    backend = MockTradingBackend()
    tool = PlaceOrderTool(backend, "two_phase", RiskLimits())
    pending = tool.execute(BUY)
    assert list(pending)[0] == "confirm_token"
    assert (pending["order_id"], pending["status"]) == ("PENDING", "Pending")
    token = pending["confirm_token"]
    ack = tool.execute({"symbol": "ETH-USDT", "side": "Sell", "quantity": 9.0, "extras": {"confirm_token": token}})
    assert (ack["order_id"], ack["symbol"], ack["quantity"]) == ("MOCK-1", "BTC-USDT", 0.01)
    with pytest.raises(RuntimeError, match=f"^未找到待确认订单: {token}$"):
        tool.execute({**BUY, "extras": {"confirm_token": token}})
    assert backend.order_count() == 1


def test_confirming_call_is_checked_on_its_own_fields_and_counted():
    backend = MockTradingBackend()
    tool = PlaceOrderTool(backend, "two_phase", RiskLimits(max_daily_orders=1, allowed_symbols=["BTC-USDT"]))
    token = tool.execute(BUY)["confirm_token"]
    with pytest.raises(RuntimeError, match=r"^风控拒绝: symbol 'ETH-USDT' 不在白名单"):
        tool.execute({**BUY, "symbol": "ETH-USDT", "extras": {"confirm_token": token}})
    # An unknown token is an attempt to send: it takes the one daily slot.
    with pytest.raises(RuntimeError, match="^未找到待确认订单: nope$"):
        tool.execute({**BUY, "extras": {"confirm_token": "nope"}})
    with pytest.raises(RuntimeError, match="^风控拒绝: 单日订单数 2 已超过限额 1$"):
        tool.execute({**BUY, "extras": {"confirm_token": token}})
    assert backend.order_count() == 0


def test_confirmation_rechecks_the_parked_order_against_current_positions():
    backend = MockTradingBackend()
    metrics = TradingMetrics()
    guarded = PlaceOrderTool(backend, "two_phase", RiskLimits(max_position_abs=0.16), metrics)
    other = PlaceOrderTool(backend, "direct", RiskLimits())
    token = guarded.execute({**BUY, "quantity": 0.05})["confirm_token"]
    other.execute({**BUY, "quantity": 0.05})
    with pytest.raises(RuntimeError, match=r"^风控拒绝: 下单后持仓 0\.2000 超过限额 0\.1600$"):
        guarded.execute({**BUY, "quantity": 1e-9, "extras": {"confirm_token": token}})
    assert backend.order_count() == 1
    assert samples(metrics, "trading_risk_blocks_total") == {(("mode", "two_phase"), ("rule", "max_position_abs")): 1.0}
    other.execute({**BUY, "side": "Sell", "quantity": 0.05})
    assert guarded.execute({**BUY, "extras": {"confirm_token": token}})["quantity"] == 0.05


def test_market_order_without_price_is_held_to_the_notional_limit():
    tool = PlaceOrderTool(MockTradingBackend(), "direct", RiskLimits(max_order_notional=1000.0))
    with pytest.raises(RuntimeError, match=r"^风控拒绝: 单笔金额 5000\.00 超过限额 1000\.00$"):
        tool.execute({**BUY, "quantity": 0.1, "order_type": "Market"})
    with pytest.raises(RuntimeError, match=r"^风控拒绝: 单笔金额 2000\.00 超过限额 1000\.00$"):
        tool.execute({**BUY, "quantity": 0.1, "price": 20000.0})


@pytest.mark.parametrize(
    "change, message",
    [
        ({"quantity": 0}, "invalid place_order args: invalid value: quantity `0.0`, expected a finite number greater than 0"),
        ({"quantity": -0.5}, "invalid place_order args: invalid value: quantity `-0.5`, expected a finite number greater than 0"),
        ({"price": 0.0}, "invalid place_order args: invalid value: price `0.0`, expected a finite number greater than 0"),
        ({"price": -3}, "invalid place_order args: invalid value: price `-3.0`, expected a finite number greater than 0"),
    ],
)
def test_unusable_amounts_are_refused_before_anything_moves(change, message):
    backend = MockTradingBackend()
    metrics = TradingMetrics()
    for mode in ["dry_run", "two_phase", "direct"]:
        tool = PlaceOrderTool(backend, mode, RiskLimits(max_daily_orders=1), metrics)
        with pytest.raises(ValueError) as info:
            tool.execute({**BUY, **change})
        assert str(info.value) == message
        tool.execute(BUY)  # the daily slot is still free
    assert backend.order_count() == 1
    assert len(metrics.snapshot_filtered("trading_risk_blocks_total")) == 0


@pytest.mark.parametrize(
    "args, error, message",
    [
        ({"symbol": "BTC-USDT", "quantity": 0.01}, ValueError, "invalid place_order args: missing field `side`"),
        ({**BUY, "side": "buy"}, ValueError, "invalid place_order args: unknown variant `buy`, expected `Buy` or `Sell`"),
        ({**BUY, "quantity": "1"}, ValueError, 'invalid place_order args: invalid type: string "1", expected f64'),
        (
            '{"symbol":"BTC-USDT","side":"Buy","quantity":0.01}',
            ValueError,
            'invalid place_order args: invalid type: string "{\\"symbol\\":\\"BTC-USDT\\",\\"side\\":\\"Buy\\",\\"quantity\\":0.01}", '
            "expected struct PlaceOrderArgs",
        ),
        ([], ValueError, "invalid place_order args: invalid length 0, expected struct PlaceOrderArgs with 9 elements"),
        ({**BUY, "quantity": math.nan}, ValueError, "NaN/Inf not allowed"),
        ({**BUY, "extras": {"x": [math.inf]}}, ValueError, "NaN/Inf not allowed"),
        ({**BUY, "extras": (1, 2)}, TypeError, "unsupported type: tuple"),
        ({**BUY, "extras": {b"k"}}, TypeError, "unsupported type: set"),
        ({**BUY, "extras": {1: "x"}}, TypeError, "'int' object cannot be converted to 'PyString'"),
    ],
)
def test_place_argument_errors(args, error, message):
    backend = MockTradingBackend()
    with pytest.raises(error) as info:
        PlaceOrderTool(backend, "direct", RiskLimits()).execute(args)
    assert str(info.value) == message
    assert backend.order_count() == 0


def test_risk_and_daily_refusals_are_runtime_errors():
    backend = MockTradingBackend()
    metrics = TradingMetrics()
    tool = PlaceOrderTool(backend, "direct", RiskLimits(max_daily_orders=1, allowed_symbols=["BTC-USDT"]), metrics)
    with pytest.raises(RuntimeError, match=r"""^风控拒绝: symbol 'ETH-USDT' 不在白名单 \["BTC-USDT"\] 中$"""):
        tool.execute({**BUY, "symbol": "ETH-USDT"})
    tool.execute(BUY)
    with pytest.raises(RuntimeError, match="^风控拒绝: 单日订单数 2 已超过限额 1$"):
        tool.execute(BUY)
    assert backend.order_count() == 1
    assert samples(metrics, "trading_risk_blocks_total") == {
        (("mode", "direct"), ("rule", "allowed_symbols")): 1.0,
        (("mode", "direct"), ("rule", "max_daily_orders")): 1.0,
    }
    # A second tool on the same backend keeps its own day.
    PlaceOrderTool(backend, "direct", RiskLimits(max_daily_orders=1)).execute(BUY)


def test_python_values_reach_the_tool_as_json():
    class Quantity:
        def __index__(self):
            return 2

    backend = MockTradingBackend()
    tool = PlaceOrderTool(backend, "two_phase", RiskLimits())
    extras = OrderedDict(z=True, a=[None, 2**64 - 1, -(2**63), Fraction(1, 4), "文本"])
    ack = tool.execute({**BUY, "quantity": Quantity(), "extras": extras})
    assert ack["quantity"] == 2.0
    # A bool is a JSON boolean, not a token: the order is parked, not confirmed.
    assert tool.execute({**BUY, "extras": {"confirm_token": True}})["order_id"] == "PENDING"


def test_objects_stay_usable_after_failures_and_tools_keep_their_backend():
    metrics = TradingMetrics()
    tool = PlaceOrderTool(MockTradingBackend(), "direct", RiskLimits(), metrics)
    del metrics
    with pytest.raises(ValueError):
        tool.execute({})
    assert tool.execute(BUY)["order_id"] == "MOCK-1"


# ---- cancel, replace, query


def test_cancel_twice():
    backend = MockTradingBackend()
    metrics = TradingMetrics()
    PlaceOrderTool(backend, "direct", RiskLimits()).execute(BUY)
    cancel = CancelOrderTool(backend, RiskLimits(), metrics)
    assert cancel.execute({"order_id": "MOCK-1"})["status"] == "Cancelled"
    with pytest.raises(RuntimeError, match="^backend cancel failed: 后端调用失败: order MOCK-1 already cancelled$"):
        cancel.execute({"order_id": "MOCK-1"})
    assert samples(metrics, "trading_cancels_total") == {
        (("mode", "direct"), ("status", "Cancelled")): 1.0,
        (("mode", "direct"), ("status", "Error")): 1.0,
    }


@pytest.mark.parametrize(
    "tool, args, error, message",
    [
        ("cancel", {}, ValueError, "invalid cancel_order args: missing field `order_id`"),
        ("cancel", {"order_id": 1}, ValueError, "invalid cancel_order args: invalid type: integer `1`, expected a string"),
        ("cancel", "MOCK-1", ValueError, 'invalid cancel_order args: invalid type: string "MOCK-1", expected struct CancelOrderArgs'),
        ("replace", {"order_id": "MOCK-1"}, ValueError, "invalid replace_order args: missing field `new_req`"),
        (
            "replace",
            {"order_id": "MOCK-1", "new_req": {"symbol": "BTC-USDT", "quantity": 1.0}},
            ValueError,
            "invalid replace_order args: missing field `side`",
        ),
        (
            "replace",
            {"order_id": "MOCK-1", "new_req": {**BUY, "quantity": -1}},
            ValueError,
            "invalid replace_order args: invalid value: quantity `-1.0`, expected a finite number greater than 0",
        ),
        (
            "replace",
            {"order_id": "MOCK-1", "new_req": {**BUY, "symbol": "ETH-USDT"}},
            RuntimeError,
            """risk check failed: 风控拒绝: symbol 'ETH-USDT' 不在白名单 ["BTC-USDT"] 中""",
        ),
        (
            "replace",
            {"order_id": "MOCK-1", "new_req": {**BUY, "side": "Sell"}},
            RuntimeError,
            "backend replace failed: 后端调用失败: replace side mismatch: expected Buy, got Sell",
        ),
        ("cancel_capped", {"order_id": "MOCK-1"}, RuntimeError, "risk check failed: 风控拒绝: 单日订单数 1 已超过限额 0"),
    ],
)
def test_cancel_and_replace_errors(tool, args, error, message):
    backend = MockTradingBackend()
    PlaceOrderTool(backend, "direct", RiskLimits()).execute(BUY)
    tools = {
        "cancel": CancelOrderTool(backend, RiskLimits()),
        "cancel_capped": CancelOrderTool(backend, RiskLimits(max_daily_cancels=0)),
        "replace": ReplaceOrderTool(backend, RiskLimits(allowed_symbols=["BTC-USDT"])),
    }
    with pytest.raises(error) as info:
        tools[tool].execute(args)
    assert str(info.value) == message


def test_replace_changes_the_recorded_quantity():
    backend = MockTradingBackend()
    metrics = TradingMetrics()
    PlaceOrderTool(backend, "direct", RiskLimits()).execute(BUY)
    ack = ReplaceOrderTool(backend, RiskLimits(), metrics).execute({"order_id": "MOCK-1", "new_req": {**BUY, "quantity": 0.5}})
    assert (ack["status"], ack["quantity"]) == ("Replaced", 0.5)
    assert samples(metrics, "trading_replaces_total") == {(("mode", "direct"), ("status", "Replaced")): 1.0}


def test_query_portfolio():
    backend = MockTradingBackend()
    PlaceOrderTool(backend, "direct", RiskLimits()).execute({"symbol": "ETH-USDT", "side": "Buy", "quantity": 1, "price": 2000.0})
    query = QueryPortfolioTool(backend)
    full = query.execute()
    assert list(full) == ["balance", "positions"]
    assert list(full["balance"]) == ["as_of_ms", "currencies"]
    assert [c["currency"] for c in full["balance"]["currencies"]] == ["USDT", "BTC", "ETH"]
    assert list(full["positions"][0]) == ["as_of_ms", "entry_price", "quantity", "symbol", "unrealized_pnl"]
    assert [p["symbol"] for p in full["positions"]] == ["BTC-USDT", "ETH-USDT"]
    assert query.execute({"symbol": 3}) == full
    assert query.execute({}) == full
    assert [p["symbol"] for p in query.execute({"symbol": "ETH-USDT"})["positions"]] == ["ETH-USDT"]
    none = query.execute(args={"symbol": "DOGE"})
    assert none["positions"] == [] and none["balance"] == full["balance"]
    with pytest.raises(TypeError, match="unsupported type: tuple"):
        query.execute(())


# ---- metrics


def test_empty_metrics_snapshot():
    assert TradingMetrics().snapshot() == [{"name": "trading_daily_orders_count", "kind": "Gauge", "value": 0.0, "labels": {}}]
    assert TradingMetrics().snapshot_filtered("nothing") == []


def test_dry_run_metrics():
    metrics = TradingMetrics()
    backend = MockTradingBackend()
    tool = PlaceOrderTool(backend, "dry_run", RiskLimits(), metrics)
    ack = tool.execute(BUY)
    assert (ack["order_id"], ack["status"], "confirm_token" in ack) == ("DRY-RUN", "DryRun", False)
    assert backend.order_count() == 0
    [order] = metrics.snapshot_filtered("trading_orders_total")
    assert list(order) == ["name", "kind", "value", "labels"]
    assert order["labels"] == {"mode": "dry_run", "side": "Buy", "status": "DryRun", "symbol": "BTC-USDT"}
    assert list(order["labels"]) == sorted(order["labels"])
    assert order["value"] == 1.0
    [latency] = metrics.snapshot_filtered("trading_order_latency_ns")
    assert (latency["kind"], latency["labels"]) == ("Histogram", {"mode": "dry_run", "tool": "place"})
    tool.execute(BUY)
    assert metrics.snapshot_filtered("trading_orders_total")[0]["value"] == 2.0


# ---- logging


def test_dry_run_notice_reaches_python_logging(caplog):
    tool = PlaceOrderTool(MockTradingBackend(), "dry_run", RiskLimits())
    with caplog.at_level(logging.INFO, logger="vesk_quant.trading"):
        tool.execute(BUY)
    [record] = [r for r in caplog.records if r.name == "vesk_quant.trading"]
    assert (record.levelno, record.getMessage()) == (logging.INFO, "[DRY-RUN] place_order would be sent")
    assert record.fields["args"].startswith('{"symbol":"BTC-USDT","side":"Buy","quantity":0.01,')


def test_records_stay_silent_until_logging_is_configured():
    script = (
        "from vesk_quant import _native as n\n"
        "t = n.trading\n"
        "t.PlaceOrderTool(t.MockTradingBackend(), 'dry_run', t.RiskLimits()).execute("
        "{'symbol': 'BTC-USDT', 'side': 'Buy', 'quantity': 0.01})\n"
        "import logging; logging.basicConfig(level=logging.INFO)\n"
        "t.PlaceOrderTool(t.MockTradingBackend(), 'dry_run', t.RiskLimits()).execute("
        "{'symbol': 'ETH-USDT', 'side': 'Buy', 'quantity': 0.01})\n"
    )
    run = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    assert run.stdout == ""
    assert run.stderr == "INFO:vesk_quant.trading:[DRY-RUN] place_order would be sent\n"


def test_debug_logging_reports_where_a_call_spends_its_time(caplog):
    tool = CancelOrderTool(MockTradingBackend(), RiskLimits())
    with caplog.at_level(logging.DEBUG, logger="vesk_quant.trading"):
        with pytest.raises(RuntimeError):
            tool.execute({"order_id": "MOCK-1"})
        QueryPortfolioTool(MockTradingBackend()).execute()
    [record] = [r for r in caplog.records if r.getMessage() == "execute timing"]
    assert record.levelno == logging.DEBUG
    assert record.fields["tool"] == "query_portfolio"
    assert all(int(record.fields[k]) >= 0 for k in ("args_ns", "tool_ns", "answer_ns"))


def test_records_from_several_threads_all_arrive(caplog):
    from concurrent.futures import ThreadPoolExecutor

    tool = PlaceOrderTool(MockTradingBackend(), "dry_run", RiskLimits())
    with caplog.at_level(logging.INFO, logger="vesk_quant.trading"):
        with ThreadPoolExecutor(max_workers=4) as pool:
            acks = list(pool.map(lambda _: tool.execute(BUY), range(200)))
    assert {a["order_id"] for a in acks} == {"DRY-RUN"}
    assert sum(r.getMessage() == "[DRY-RUN] place_order would be sent" for r in caplog.records) == 200
