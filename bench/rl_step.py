"""RL environment steps against gym-anytrading, on the same 10^5 bars in one run.

- steps per second of TradingEnv.step (discrete and continuous actions), of the Gymnasium adapter
  TradingGymEnv.step, and of gym-anytrading's StocksEnv (window 10), each stepped through one
  episode with actions generated beforehand, and our ratio to StocksEnv;
- reset time at 2*10^3 and 10^5 bars: a reset must not grow with the data.
"""
import math
import random
import time
import timeit
import warnings

import numpy as np
import pandas as pd

from vesk_quant import rl
from vesk_quant.gym import TradingGymEnv

with warnings.catch_warnings():
    warnings.simplefilter("ignore")  # gym-anytrading's import-time deprecation notices
    from gym_anytrading.envs import StocksEnv

N = 100_000
WINDOW = 10
DISCRETE = {"type": "discrete", "n_quantity_bins": 2}


def closes(n, seed=5):
    rng = random.Random(seed)
    out = [100.0]
    for _ in range(n - 1):
        out.append(out[-1] * math.exp(rng.gauss(0.0, 0.01)))
    return out


def bars_of(prices):
    return [{"timestamp": 60_000 * i, "open": p, "high": p * 1.001, "low": p * 0.999, "close": p, "volume": 1000.0 + i % 17}
            for i, p in enumerate(prices)]


def steps_per_second(reset, step, actions):
    reset()
    start = time.perf_counter()
    for a in actions:
        step(a)
    return len(actions) / (time.perf_counter() - start)


def best_rate(reset, step, actions, repeat=5):
    return max(steps_per_second(reset, step, actions) for _ in range(repeat))


def main():
    prices = closes(N)
    bars = bars_of(prices)
    rng = np.random.default_rng(1)
    n_steps = N - WINDOW - 1  # StocksEnv's episode over the same prices; ours run the same count
    config = {"max_steps": N}

    discrete = rl.TradingEnv(config=config, action_space=DISCRETE, market_data=bars)
    continuous = rl.TradingEnv(config=config, market_data=bars)
    gym_discrete = TradingGymEnv(config=config, action_space=DISCRETE, market_data=bars)
    gym_continuous = TradingGymEnv(config=config, market_data=bars)
    peer = StocksEnv(df=pd.DataFrame({"Close": prices}), window_size=WINDOW, frame_bound=(WINDOW, N))

    index_actions = rng.integers(0, 3, size=n_steps).tolist()  # hold or buy: never an invalid sell
    weight_actions = [[w] for w in rng.uniform(-1.0, 1.0, size=n_steps).tolist()]
    gym_index_actions = list(rng.integers(0, 5, size=n_steps, dtype=np.int64))
    gym_weight_actions = [np.array([w], dtype=np.float32) for w in rng.uniform(-1.0, 1.0, size=n_steps)]
    peer_actions = rng.integers(0, 2, size=n_steps).tolist()

    peer_rate = best_rate(lambda: peer.reset(seed=0), peer.step, peer_actions)
    rows = [
        ("TradingEnv.step (discrete)", best_rate(discrete.reset, discrete.step, index_actions)),
        ("TradingEnv.step (continuous)", best_rate(continuous.reset, continuous.step, weight_actions)),
        ("TradingGymEnv.step (discrete)", best_rate(gym_discrete.reset, gym_discrete.step, gym_index_actions)),
        ("TradingGymEnv.step (continuous)", best_rate(gym_continuous.reset, gym_continuous.step, gym_weight_actions)),
    ]
    print(f"{n_steps} steps over {N} bars; gym-anytrading StocksEnv (window {WINDOW}): {peer_rate:12,.0f} steps/s")
    for name, rate in rows:
        print(f"{name:<34} {rate:12,.0f} steps/s   ratio to StocksEnv {rate / peer_rate:6.2f}x")

    small = rl.TradingEnv(config=config, market_data=bars[:2_000])
    reset_small = min(timeit.repeat(small.reset, number=10_000, repeat=5)) / 10_000
    reset_large = min(timeit.repeat(discrete.reset, number=10_000, repeat=5)) / 10_000
    print(f"TradingEnv.reset at {2_000:>7} bars {reset_small * 1e6:8.3f} us   at {N} bars {reset_large * 1e6:8.3f} us"
          f"   ratio {reset_large / reset_small:5.2f}x")


if __name__ == "__main__":
    main()
