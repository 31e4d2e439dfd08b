"""Walk-forward operations against their usual peers, on the same input in one run.

- splitting 10^6 samples: WalkForwardRunner.split against scikit-learn's TimeSeriesSplit set up
  for the same windows (it materialises index arrays; we return window boundaries);
- purge / embargo / leakage on Python lists of 10^6 indices against straightforward NumPy code,
  counting NumPy's conversion of the lists;
- the binding core's own cost: calls per second of py_deflated_sharpe against math.hypot.
"""
import math
import timeit

import numpy as np
from sklearn.model_selection import TimeSeriesSplit

from vesk_quant import walk_forward as wf

N = 1_000_000
TRAIN, TEST, STEP = 100_000, 10_000, 10_000


def best_of(fn, number, repeat=5):
    return min(timeit.repeat(fn, number=number, repeat=repeat)) / number


def report(name, ours, peer, peer_name):
    print(f"{name:<34} ours {ours * 1e3:10.3f} ms   {peer_name} {peer * 1e3:10.3f} ms   ratio {peer / ours:8.1f}x")


def bench_split():
    runner = wf.WalkForwardRunner({"train_size": TRAIN, "test_size": TEST, "step_size": STEP, "window_type": "rolling"})
    n_folds = (N - TRAIN - TEST) // STEP + 1
    splitter = TimeSeriesSplit(n_splits=n_folds, test_size=TEST, max_train_size=TRAIN)
    ours_folds = runner.split(N)
    peer_folds = list(splitter.split(np.empty(N)))
    assert len(ours_folds) == len(peer_folds) == n_folds
    assert all(f["test_start"] == p[1][0] and f["test_end"] == p[1][-1] + 1 for f, p in zip(ours_folds, peer_folds))
    ours = best_of(lambda: runner.split(N), 20)
    peer = best_of(lambda: list(splitter.split(np.empty(N))), 3)
    report(f"split {N} samples ({n_folds} folds)", ours, peer, "sklearn")


def numpy_purge(train, test, horizon):
    t = np.asarray(train, dtype=np.uint64)
    cutoff = max(int(np.min(np.asarray(test, dtype=np.uint64))) - horizon, 0)
    return t[t < cutoff]


def numpy_embargo(test, pct, n_total):
    t = np.asarray(test, dtype=np.uint64)
    start = int(t.max()) + 1
    length = max(int(math.ceil(pct * len(t))), 1)
    return np.arange(start, min(n_total, start + length), dtype=np.uint64)


def numpy_leakage(train, test, lag):
    a = np.asarray(train, dtype=np.uint64)
    b = np.asarray(test, dtype=np.uint64)
    shared = np.intersect1d(a, b)
    if shared.size:
        return True, shared
    gap = max(int(b.min()) - int(a.max()), 0)
    return (lag > 0 and gap <= lag), shared


def bench_index_ops():
    train = list(range(N))
    test = list(range(N // 2, N // 2 + N))
    disjoint_test = list(range(N + 5, 2 * N + 5))
    assert wf.py_purge_overlapping_labels(train, test, 10) == numpy_purge(train, test, 10).tolist()
    assert wf.py_embargo_indices(test, 0.1, 3 * N) == numpy_embargo(test, 0.1, 3 * N).tolist()
    leaked, pairs = wf.py_detect_leakage(train, test, 3)
    assert leaked and [p[0] for p in pairs] == numpy_leakage(train, test, 3)[1].tolist()
    report("purge 10^6 indices", best_of(lambda: wf.py_purge_overlapping_labels(train, test, 10), 3),
           best_of(lambda: numpy_purge(train, test, 10), 3), "numpy")
    report("embargo (10^6 test, 10% block)", best_of(lambda: wf.py_embargo_indices(test, 0.1, 3 * N), 3),
           best_of(lambda: numpy_embargo(test, 0.1, 3 * N), 3), "numpy")
    report("leakage, half overlapping", best_of(lambda: wf.py_detect_leakage(train, test, 3), 3),
           best_of(lambda: numpy_leakage(train, test, 3), 3), "numpy")
    report("leakage, disjoint (gap check)", best_of(lambda: wf.py_detect_leakage(train, disjoint_test, 3), 3),
           best_of(lambda: numpy_leakage(train, disjoint_test, 3), 3), "numpy")


def bench_call_overhead():
    calls = 1_000_000
    ours = best_of(lambda: [wf.py_deflated_sharpe(1.0, 10, 1.0) for _ in range(calls)], 1, repeat=5) / calls
    peer = best_of(lambda: [math.hypot(1.0, 10.0, 1.0) for _ in range(calls)], 1, repeat=5) / calls
    print(f"{'call py_deflated_sharpe(1.0, 10, 1.0)':<34} ours {1 / ours / 1e6:8.2f} M calls/s   "
          f"math.hypot {1 / peer / 1e6:8.2f} M calls/s   ours takes {ours / peer:5.2f}x the builtin's time")


if __name__ == "__main__":
    bench_split()
    bench_index_ops()
    bench_call_overhead()
