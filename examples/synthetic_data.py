"""Built-in, deterministic market data: a seeded random walk, shipped as code (no downloads)."""
import math
import random


def synthetic_prices(n_bars=2520, seed=7, start=100.0, drift=0.0003, volatility=0.012):
    """Close prices of a geometric random walk with a slow regime cycle in the drift."""
    rng = random.Random(seed)
    prices = [start]
    for i in range(1, n_bars):
        regime = drift * math.sin(2 * math.pi * i / 500.0) * 3
        prices.append(prices[-1] * math.exp(regime + rng.gauss(0.0, volatility)))
    return prices


def synthetic_bars(prices, seed=11, start_ms=1_700_000_000_000, bar_ms=86_400_000):
    """OHLCV bar dicts around the given closes, in the shape the RL environment reads."""
    rng = random.Random(seed)
    bars = []
    previous = prices[0]
    for i, close in enumerate(prices):
        spread = abs(close - previous) + close * 0.002 * rng.random()
        bars.append({
            "timestamp": start_ms + i * bar_ms,
            "open": previous,
            "high": max(previous, close) + spread / 2,
            "low": min(previous, close) - spread / 2,
            "close": close,
            "volume": 1_000.0 + 500.0 * rng.random(),
        })
        previous = close
    return bars
