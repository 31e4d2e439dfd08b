"""Walk-forward test windows replayed through the RL trading environment.

Each fold's test window becomes one episode of ``vesk_quant.rl.TradingEnv``. The agent is the
fold's moving-average rule (chosen on the training window): at each bar it looks at closes up to
that bar only, buys most of the account when the fast average crosses above the slow one and sells
everything when it falls back. The environment charges slippage and fees, so the episode return
is the rule's out-of-sample return after costs.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from synthetic_data import synthetic_bars  # noqa: E402

from vesk_quant import rl  # noqa: E402

TRADING_DAYS = 252
BINS = 20  # discrete menu: action i buys i/20 of the account, 20 + i sells i/20 of the position
BUY = BINS - 1  # 95%: what is left pays the fee and slippage
SELL_ALL = 2 * BINS
HOLD = 0


def _moving_average(prices, window, end):
    return sum(prices[end - window:end]) / window


def _episode_metrics(values):
    """Total return, annualised Sharpe ratio and maximum drawdown of an account-value path."""
    returns = [b / a - 1.0 for a, b in zip(values, values[1:])]
    total = values[-1] / values[0] - 1.0
    if len(returns) < 2:
        return total, 0.0, 0.0
    mean = sum(returns) / len(returns)
    std = math.sqrt(sum((r - mean) ** 2 for r in returns) / (len(returns) - 1))
    sharpe = mean / std * math.sqrt(TRADING_DAYS) if std > 0 else 0.0
    peak, drawdown = values[0], 0.0
    for v in values:
        peak = max(peak, v)
        drawdown = min(drawdown, v / peak - 1.0)
    return total, sharpe, drawdown


def run_rl_fold(bars, prices, test_idx, rule, config=None):
    """One episode over the bars of ``test_idx`` driven by the moving-average ``rule`` (fast, slow).

    ``prices`` are the closes of the whole series: the rule reads the closes before each test bar
    as well, never those after it. Returns the episode's metrics, trades and transaction costs.
    """
    fast, slow = rule
    start, end = test_idx[0], test_idx[-1] + 1
    settings = {"max_steps": end - start, "symbol": "SYNTH"}
    settings.update(config or {})
    env = rl.TradingEnv(config=settings, action_space={"type": "discrete", "n_quantity_bins": BINS},
                        market_data=bars[start:end], reward="pnl")
    env.reset()
    values = [env.portfolio_value]
    holding = False
    bar, done = start, False
    while not done:
        long = bar + 1 >= slow and _moving_average(prices, fast, bar + 1) > _moving_average(prices, slow, bar + 1)
        action = HOLD
        if long and not holding:
            action, holding = BUY, True
        elif holding and not long:
            action, holding = SELL_ALL, False
        _, _, done, _, info = env.step(action)
        values.append(info["portfolio_value"])
        bar += 1
    total, sharpe, drawdown = _episode_metrics(values)
    return {"test_return": total, "test_sharpe": sharpe, "test_max_drawdown": drawdown,
            "trades": info["trades_executed"], "costs": info["transaction_costs"], "steps": info["current_step"]}


def run_rl_folds(prices, folds, bars=None, config=None):
    """One episode per walk-forward test window; prints a line per fold.

    ``folds`` are the walk-forward study's fold dicts (``test_idx``, ``rule``, ``train_return``).
    Returns dicts ready for ``py_aggregate_folds``: ``train_return``, ``test_return``,
    ``test_sharpe``, ``test_max_drawdown``, plus ``trades`` and ``costs`` of each episode.
    """
    bars = bars if bars is not None else synthetic_bars(prices)
    print(f"{'fold':>4} {'test':>11} {'rule':>7} {'steps':>5} {'trades':>6} {'return':>8} {'costs':>9} "
          f"{'sharpe':>7} {'max dd':>7}")
    episodes = []
    for i, fold in enumerate(folds):
        episode = run_rl_fold(bars, prices, fold["test_idx"], fold["rule"], config)
        episode["train_return"] = fold["train_return"]
        test = f"{fold['test_idx'][0]}-{fold['test_idx'][-1] + 1}"
        print(f"{i:>4} {test:>11} {'%d/%d' % fold['rule']:>7} {episode['steps']:>5} {episode['trades']:>6} "
              f"{episode['test_return']:>8.2%} {episode['costs']:>9.2f} {episode['test_sharpe']:>7.2f} "
              f"{episode['test_max_drawdown']:>7.2%}")
        episodes.append(episode)
    total_costs = sum(e["costs"] for e in episodes)
    print(f"total transaction costs over {len(episodes)} episodes: {total_costs:.2f}")
    return episodes
