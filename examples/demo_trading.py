"""The study's final signal sent as an order through the LLM trading tools.

The signal is the last fold's moving-average rule read on the latest closes: fast average above
the slow one means "Buy", otherwise "Sell". The order goes through ``PlaceOrderTool`` in
``two_phase`` mode, the way an agent would use it: the first call parks the order and returns a
confirmation token, the second call presents the token and the parked order is sent. The mock
backend fills it; then the portfolio is queried and the metrics snapshot printed.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from vesk_quant import trading  # noqa: E402

SYMBOL = "SYN-USDT"  # the synthetic asset of the study, quoted in the mock's USDT
QUANTITY = 10.0


def final_signal(prices, folds):
    """("Buy" or "Sell", fast, slow) from the last fold's rule on the latest closes."""
    fast, slow = folds[-1]["rule"]
    end = len(prices)
    fast_ma = sum(prices[end - fast:end]) / fast
    slow_ma = sum(prices[end - slow:end]) / slow
    return ("Buy" if fast_ma > slow_ma else "Sell"), fast, slow


def send_final_signal(prices, folds, *, symbol=SYMBOL, quantity=QUANTITY, out=print):
    """Send the final signal as a two-phase order on a fresh mock backend with risk limits.

    ``prices`` are the study's closes, ``folds`` its per-fold results (each with a "rule" of
    (fast, slow) windows). Returns a dict with the signal, both acknowledgements, the portfolio
    and the metrics snapshot.
    """
    side, fast, slow = final_signal(prices, folds)
    price = prices[-1]
    limits = trading.RiskLimits(
        max_order_notional=5000.0,
        max_daily_orders=5,
        max_position_abs=50.0,
        allowed_symbols=[symbol],
    )
    backend = trading.MockTradingBackend()
    metrics = trading.TradingMetrics()
    place = trading.PlaceOrderTool(backend, "two_phase", limits, metrics)
    out(f"signal: rule {fast}/{slow} on the last {slow} closes -> {side} {quantity:g} {symbol} at {price:.4f}")
    out(f"{limits!r}")

    request = {"symbol": symbol, "side": side, "quantity": quantity, "price": price}
    pending = place.execute(request)
    out(f"first call:   {pending['order_id']} {pending['status']}, token {pending['confirm_token']}")
    ack = place.execute({**request, "extras": {"confirm_token": pending["confirm_token"]}})
    out(f"confirmation: {ack['order_id']} {ack['status']} {ack['side']} {ack['quantity']:g} {ack['symbol']}")

    portfolio = trading.QueryPortfolioTool(backend).execute()
    out("portfolio:")
    for line in portfolio["balance"]["currencies"]:
        out(f"  {line['currency']:<8} free {line['free']:>14.4f}  locked {line['locked']:.4f}")
    for position in portfolio["positions"]:
        out(f"  {position['symbol']:<8} position {position['quantity']:>10.4f} @ {position['entry_price']:.4f}")

    snapshot = metrics.snapshot()
    out("metrics:")
    for sample in snapshot:
        labels = ", ".join(f"{k}={v}" for k, v in sample["labels"].items())
        out(f"  {sample['name']:<28} {sample['kind']:<9} {sample['value']:>12.1f}  {labels}".rstrip())
    return {"signal": side, "pending": pending, "ack": ack, "portfolio": portfolio, "metrics": snapshot}


if __name__ == "__main__":
    from synthetic_data import synthetic_prices

    closes = synthetic_prices()
    send_final_signal(closes, [{"rule": (10, 50)}])
