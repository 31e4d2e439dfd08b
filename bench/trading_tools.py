"""Calls per second of each trading tool's execute from Python, and where the time goes.

- calls/s: plain ``execute(dict)`` calls, best of several runs, logging off;
- the split of one call: converting (Python args -> JSON text, JSON answer -> Python) against the
  tool's own work, taken from the "execute timing" debug records the binding writes when debug
  logging is on for "vesk_quant.trading"; the rest of the wall time is the Python call itself;
- as a reference, the same conversions done with the standard library (json.dumps + json.loads).
"""
import json
import logging
import time

from vesk_quant import trading

RUNS = 5
BUY = {"symbol": "BTC-USDT", "side": "Buy", "quantity": 0.01, "price": 100.0}


class TimingCollector(logging.Handler):
    def __init__(self):
        super().__init__(logging.DEBUG)
        self.args_ns = self.tool_ns = self.answer_ns = self.calls = 0

    def emit(self, record):
        if record.getMessage() != "execute timing":
            return
        fields = record.fields
        self.args_ns += int(fields["args_ns"])
        self.tool_ns += int(fields["tool_ns"])
        self.answer_ns += int(fields["answer_ns"])
        self.calls += 1


def scenarios():
    """(name, n, make) where make() returns a fresh zero-argument callable doing one call."""

    def direct():
        tool = trading.PlaceOrderTool(trading.MockTradingBackend(), "direct", trading.RiskLimits.permissive())
        return lambda: tool.execute(BUY)

    def dry_run():
        tool = trading.PlaceOrderTool(trading.MockTradingBackend(), "dry_run", trading.RiskLimits(max_order_notional=1e9))
        return lambda: tool.execute(BUY)

    def two_phase():
        tool = trading.PlaceOrderTool(trading.MockTradingBackend(), "two_phase", trading.RiskLimits.permissive())

        def call():
            token = tool.execute(BUY)["confirm_token"]
            return tool.execute({**BUY, "extras": {"confirm_token": token}})

        return call

    def cancel():
        backend = trading.MockTradingBackend()
        place = trading.PlaceOrderTool(backend, "direct", trading.RiskLimits())
        ids = iter([place.execute(BUY)["order_id"] for _ in range(3_000)])
        tool = trading.CancelOrderTool(backend, trading.RiskLimits())
        return lambda: tool.execute({"order_id": next(ids)})

    def replace():
        backend = trading.MockTradingBackend()
        trading.PlaceOrderTool(backend, "direct", trading.RiskLimits()).execute(BUY)
        tool = trading.ReplaceOrderTool(backend, trading.RiskLimits(max_position_abs=1e9))
        args = {"order_id": "MOCK-1", "new_req": {**BUY, "quantity": 0.02}}
        return lambda: tool.execute(args)

    def query():
        backend = trading.MockTradingBackend()
        place = trading.PlaceOrderTool(backend, "direct", trading.RiskLimits())
        for symbol in ["ETH-USDT", "SOL-USDT", "XRP-USDT"]:
            place.execute({**BUY, "symbol": symbol})
        tool = trading.QueryPortfolioTool(backend)
        return lambda: tool.execute({"symbol": "ETH-USDT"})

    return [
        ("PlaceOrderTool direct", 20_000, direct),
        ("PlaceOrderTool dry_run", 20_000, dry_run),
        ("PlaceOrderTool two_phase (pair)", 10_000, two_phase),
        ("CancelOrderTool", 3_000, cancel),
        ("ReplaceOrderTool", 20_000, replace),
        ("QueryPortfolioTool", 20_000, query),
    ]


def best_rate(n, make):
    best = 0.0
    for _ in range(RUNS):
        call = make()
        start = time.perf_counter()
        for _ in range(n):
            call()
        best = max(best, n / (time.perf_counter() - start))
    return best


def split(n, make):
    logger = logging.getLogger("vesk_quant.trading")
    collector = TimingCollector()
    logger.addHandler(collector)
    logger.setLevel(logging.DEBUG)
    logger.propagate = False
    try:
        call = make()
        for _ in range(n):
            call()
    finally:
        logger.removeHandler(collector)
        logger.setLevel(logging.NOTSET)
        logger.propagate = True
    return collector


def stdlib_conversion_us(n, make):
    """json.dumps of the arguments plus json.loads of an answer of the same shape, per call."""
    call = make()
    answer = json.dumps(call())
    args = BUY
    start = time.perf_counter()
    for _ in range(n):
        json.loads(answer)
        json.dumps(args)
    return (time.perf_counter() - start) / n * 1e6


def main():
    print(f"{'tool':<32} {'calls/s':>10} {'us/call':>8} {'convert':>8} {'tool':>7} {'stdlib json':>12}")
    for name, n, make in scenarios():
        rate = best_rate(n, make)
        timing = split(n, make)
        native = timing.args_ns + timing.tool_ns + timing.answer_ns
        convert_share = (timing.args_ns + timing.answer_ns) / native
        print(f"{name:<32} {rate:>10,.0f} {1e6 / rate:>8.2f} {convert_share:>8.1%} {timing.tool_ns / native:>7.1%} "
              f"{stdlib_conversion_us(n, make):>9.2f} us")
    print("\nconvert / tool: shares of the native time of a call (per tool call; a two-phase pair is two calls);")
    print("stdlib json: json.dumps(args) + json.loads(answer) per call, for comparison with us/call.")


if __name__ == "__main__":
    main()
