"""End-to-end research workflow on built-in data.

1. Split a synthetic price series into walk-forward folds with a purge gap.
2. Purge training labels that reach into the test window, compute the embargo block and check
   for leakage between the index sets.
3. Per fold, choose a moving-average rule on the training window only, then measure it out of
   sample: return, Sharpe ratio and drawdown.
4. Condense the folds into aggregate metrics and the deflated Sharpe ratio, which discounts
   the best rule for the number of rules tried.
Later steps run the same folds through the RL environment and send the final signal as an
order through the trading tools.
"""
import math
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from synthetic_data import synthetic_prices  # noqa: E402

from vesk_quant import walk_forward as wf  # noqa: E402

TRADING_DAYS = 252
CANDIDATE_WINDOWS = [(5, 20), (10, 50), (20, 100)]
LABEL_HORIZON = 5  # a label looks this many bars ahead
CONFIG = {"train_size": 504, "test_size": 126, "step_size": 126, "window_type": "rolling", "purge_gap": 0,
          "embargo_pct": 0.05}


def moving_average(values, window, end):
    return sum(values[end - window:end]) / window


def rule_returns(prices, fast, slow, start, end):
    """Daily returns of holding the asset while the fast average is above the slow one.

    The position for bar i is decided on closes up to bar i - 1, so no future price is used.
    """
    out = []
    for i in range(max(start, slow + 1), end):
        long = moving_average(prices, fast, i) > moving_average(prices, slow, i)
        out.append(prices[i] / prices[i - 1] - 1.0 if long else 0.0)
    return out


def summarise(returns):
    if not returns:
        return 0.0, 0.0, 0.0
    total = math.prod(1.0 + r for r in returns) - 1.0
    mean = sum(returns) / len(returns)
    std = math.sqrt(sum((r - mean) ** 2 for r in returns) / max(len(returns) - 1, 1))
    sharpe = mean / std * math.sqrt(TRADING_DAYS) if std > 0 else 0.0
    peak, equity, drawdown = 1.0, 1.0, 0.0
    for r in returns:
        equity *= 1.0 + r
        peak = max(peak, equity)
        drawdown = min(drawdown, equity / peak - 1.0)
    return total, sharpe, drawdown


def best_rule(prices, train_idx):
    """The candidate with the best in-sample Sharpe ratio on the purged training indices."""
    start, end = train_idx[0], train_idx[-1] + 1
    scored = [(summarise(rule_returns(prices, f, s, start, end))[1], (f, s)) for f, s in CANDIDATE_WINDOWS]
    return max(scored)


def walk_forward_study(prices):
    runner = wf.WalkForwardRunner(CONFIG)
    folds = runner.split(len(prices))
    print(f"{runner}: {len(folds)} folds over {len(prices)} bars")
    print(f"{'fold':>4} {'train':>11} {'test':>11} {'purged':>6} {'embargo':>11} {'leak':>5} "
          f"{'rule':>7} {'IS sh':>6} {'OOS ret':>8} {'OOS sh':>7} {'max dd':>7}")
    results = []
    for fold in folds:
        train_idx = list(range(fold["train_start"], fold["train_end"]))
        test_idx = list(range(fold["test_start"], fold["test_end"]))
        kept = wf.py_purge_overlapping_labels(train_idx, test_idx, LABEL_HORIZON)
        embargo = wf.py_embargo_indices(test_idx, CONFIG["embargo_pct"], len(prices))
        leaked, _ = wf.py_detect_leakage(kept, test_idx, 1)
        in_sample_sharpe, (fast, slow) = best_rule(prices, kept)
        train_total = summarise(rule_returns(prices, fast, slow, kept[0], kept[-1] + 1))[0]
        test_total, test_sharpe, test_dd = summarise(rule_returns(prices, fast, slow, test_idx[0], test_idx[-1] + 1))
        embargo_text = f"{embargo[0]}-{embargo[-1]}" if embargo else "-"
        print(f"{fold['fold_id']:>4} {fold['train_start']:>5}-{fold['train_end']:<5} "
              f"{fold['test_start']:>5}-{fold['test_end']:<5} {len(train_idx) - len(kept):>6} {embargo_text:>11} "
              f"{'yes' if leaked else 'no':>5} {f'{fast}/{slow}':>7} {in_sample_sharpe:>6.2f} "
              f"{test_total:>8.2%} {test_sharpe:>7.2f} {test_dd:>7.2%}")
        results.append({"train_return": train_total, "test_return": test_total, "test_sharpe": test_sharpe,
                        "test_max_drawdown": test_dd, "rule": (fast, slow), "test_idx": test_idx})
    return results


def print_aggregate(title, folds):
    metrics = wf.py_aggregate_folds([{k: f[k] for k in ("train_return", "test_return", "test_sharpe",
                                                        "test_max_drawdown")} for f in folds])
    print(f"\n{title}")
    for key, value in metrics.items():
        print(f"  {key:<24} {value:>10.4f}")
    return metrics


def main():
    prices = synthetic_prices()
    print("== Walk-forward study: moving-average rules on a seeded random walk\n")
    folds = walk_forward_study(prices)
    metrics = print_aggregate("Aggregate out-of-sample metrics (rule chosen per fold):", folds)
    dsr = wf.py_deflated_sharpe(metrics["mean_oos_sharpe"], len(CANDIDATE_WINDOWS) * len(folds),
                                max(metrics["std_oos_sharpe"], 1e-3))
    print(f"  deflated Sharpe over all {len(CANDIDATE_WINDOWS) * len(folds)} rule trials: {dsr:.4f}")

    for step in STEPS:
        step(prices, folds)


def rl_step(prices, folds):
    try:
        import demo_rl
    except ImportError:
        return
    print("\n== RL environment: one episode per test window with a rule-based agent\n")
    episodes = demo_rl.run_rl_folds(prices, folds)
    print_aggregate("Aggregate of the RL episodes:", episodes)


def trading_step(prices, folds):
    try:
        import demo_trading
    except ImportError:
        return
    print("\n== Trading tools: the final signal as a two-phase order\n")
    demo_trading.send_final_signal(prices, folds)


STEPS = [rl_step, trading_step]

if __name__ == "__main__":
    main()
