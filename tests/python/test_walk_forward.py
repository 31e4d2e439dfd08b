"""Walk-forward validation from Python: runner, splitting, purge, embargo, leakage, aggregation."""
import json
import math
import os
import shutil
import subprocess
import sys

import pytest

from vesk_quant._native import walk_forward as wf

BASE = {"train_size": 100, "test_size": 20, "step_size": 20, "window_type": "rolling"}


def test_runner_defaults_and_repr():
    runner = wf.WalkForwardRunner(BASE)
    assert repr(runner) == "WalkForwardRunner(train=100, test=20, step=20, type=Rolling)"
    assert repr(wf.WalkForwardRunner({**BASE, "window_type": "expanding", "train_size": 252, "test_size": 21,
                                      "step_size": 21})) == "WalkForwardRunner(train=252, test=21, step=21, type=Expanding)"
    # validation_size and purge_gap default to 0: the test window follows the training window.
    assert runner.split(120) == [{"fold_id": 0, "train_start": 0, "train_end": 100, "validation_start": 100,
                                  "validation_end": 100, "test_start": 100, "test_end": 120}]
    assert list(runner.split(120)[0]) == ["fold_id", "train_start", "train_end", "validation_start",
                                          "validation_end", "test_start", "test_end"]


@pytest.mark.parametrize(
    "config, message",
    [
        ({k: v for k, v in BASE.items() if k != "window_type"},
         "invalid config: missing field `window_type` at line 1 column 53"),
        ({**BASE, "window_type": "Rolling"},
         "invalid config: unknown variant `Rolling`, expected `rolling` or `expanding` at line 1 column 78"),
        ({**BASE, "train_size": 100.0}, "invalid config: invalid type: floating point `100.0`, expected u64 at line 1 column 20"),
        ({**BASE, "train_size": True}, "invalid config: invalid type: boolean `true`, expected u64 at line 1 column 19"),
        ({**BASE, "train_size": -1}, "invalid config: invalid value: integer `-1`, expected u64 at line 1 column 17"),
        ({**BASE, "embargo_pct": math.nan}, "invalid config: expected value at line 1 column 96"),
        ({**BASE, "step_size": 0}, "step_size must be > 0"),
        ({**BASE, "train_size": 0, "test_size": 0}, "train_size must be > 0"),
        ({**BASE, "embargo_pct": 1.5}, r"embargo_pct \(1.5\) must be in \[0.0, 1.0\]"),
    ],
)
def test_runner_refuses_bad_configs_with_the_reader_or_validation_message(config, message):
    with pytest.raises(ValueError, match=f"^{message}$"):
        wf.WalkForwardRunner(config)


def test_runner_accepts_unknown_keys_and_refuses_non_dicts():
    wf.WalkForwardRunner({**BASE, "note": [1, {"x": None}]})
    with pytest.raises(TypeError, match="argument 'config'"):
        wf.WalkForwardRunner([("train_size", 100)])
    with pytest.raises(TypeError, match="not JSON serializable"):
        wf.WalkForwardRunner({**BASE, "tags": {1, 2}})


def test_runner_reads_decimal_points_whatever_the_process_locale(tmp_path):
    localedef = shutil.which("localedef")
    if localedef is None:
        pytest.skip("localedef is not installed")
    subprocess.run([localedef, "-i", "de_DE", "-f", "UTF-8", str(tmp_path / "de_DE.UTF-8")], capture_output=True)
    if not (tmp_path / "de_DE.UTF-8").exists():
        pytest.skip("no de_DE locale source")
    code = (
        "import locale; locale.setlocale(locale.LC_ALL, 'de_DE.UTF-8')\n"
        "assert locale.localeconv()['decimal_point'] == ','\n"
        "from vesk_quant._native import walk_forward as wf\n"
        "try:\n"
        "    wf.WalkForwardRunner(%r)\n"
        "except ValueError as e:\n"
        "    print(e)\n" % {**BASE, "embargo_pct": 1.5}
    )
    out = subprocess.run([sys.executable, "-c", code], env={**os.environ, "LOCPATH": str(tmp_path)},
                         capture_output=True, text=True, check=True).stdout
    assert out.strip() == "embargo_pct (1.5) must be in [0.0, 1.0]"


def test_runner_passes_on_a_text_that_cannot_be_encoded(monkeypatch):
    monkeypatch.setattr(json, "dumps", lambda config: "\ud800")
    with pytest.raises(UnicodeEncodeError):
        wf.WalkForwardRunner(BASE)


def test_split_counts_and_errors():
    runner = wf.WalkForwardRunner(BASE)
    folds = runner.split(200)
    assert len(folds) == 5
    assert folds[4]["train_start"] == 80 and folds[4]["test_end"] == 200
    assert runner.split(0) == []
    assert runner.split(n_samples=119) == []
    with pytest.raises(OverflowError):
        runner.split(-1)
    with pytest.raises(TypeError, match="argument 'n_samples'"):
        runner.split("200")
    # More folds than memory can hold is an ordinary MemoryError, not an internal failure.
    with pytest.raises(MemoryError):
        wf.WalkForwardRunner({**BASE, "train_size": 1, "test_size": 1, "step_size": 1}).split(2**63)


def test_purge_embargo_and_leakage():
    assert wf.py_purge_overlapping_labels(list(range(100)), list(range(110, 130)), 15) == list(range(95))
    assert wf.py_purge_overlapping_labels((3, 1, 3), [2], 0) == [3, 1, 3]
    assert wf.py_purge_overlapping_labels(b"\x01\x09\x05", bytearray(b"\x09"), 2) == [1, 5]
    assert wf.py_embargo_indices(range(100, 120), 0.1, 1000) == [120, 121]
    assert wf.py_embargo_indices(list(range(100, 120)), 0.01, 121) == [120]
    assert wf.py_detect_leakage([1, 2, 3], [3, 4], 0) == (True, [(3, 3)])
    assert wf.py_detect_leakage(list(range(10)), list(range(12, 16)), 2) == (False, [])
    assert wf.py_detect_leakage(list(range(10)), list(range(12, 16)), 3) == (True, [(9, 12)])


def test_leakage_pairs_come_back_in_ascending_order():
    train = list(range(5000, 0, -3))
    test = list(range(0, 5000, 2))
    leaked, pairs = wf.py_detect_leakage(train, test, 0)
    assert leaked
    assert pairs == sorted(pairs) == [(i, i) for i in sorted(set(train) & set(test))]


@pytest.mark.parametrize(
    "fn, args, name",
    [
        (wf.py_purge_overlapping_labels, ("0123", [1], 2), "train_idx"),
        (wf.py_purge_overlapping_labels, ([1], {1, 2}, 2), "test_idx"),
        (wf.py_embargo_indices, ([1, 2.5], 0.1, 10), "test_idx"),
        (wf.py_detect_leakage, ([1], [2], "1"), "feature_lag"),
        (wf.py_embargo_indices, ([1], "0.1", 10), "embargo_pct"),
    ],
)
def test_conversions_name_the_argument(fn, args, name):
    with pytest.raises(TypeError, match=f"argument '{name}'"):
        fn(*args)


class _Clears:
    """Converts to `value` after emptying `target`: the hook drops what the argument held."""

    def __init__(self, target, value):
        self.target, self.value = target, value

    def __index__(self):
        self.target.clear()
        return self.value

    def __float__(self):
        self.target.clear()
        return float(self.value)


def test_conversions_survive_hooks_that_empty_the_argument():
    train = []
    train.extend(_Clears(train, 1) for _ in range(500))
    assert wf.py_purge_overlapping_labels(train, [10], 1) == [1] * 500
    mixed = [2, 3]  # plain ints first, then a hook that empties the list
    mixed.extend(_Clears(mixed, 4) for _ in range(300))
    assert wf.py_purge_overlapping_labels(mixed, [10], 1) == [2, 3] + [4] * 300
    folds = []
    folds.extend({"test_return": _Clears(folds, 0.5), "other": 1.0} for _ in range(200))
    assert wf.py_aggregate_folds(folds)["mean_oos_return"] == 0.5
    fold = {"first": 0.0, "test_return": 0.25}
    fold["first"] = _Clears(fold, 0.0)
    assert wf.py_aggregate_folds([fold])["mean_oos_return"] == 0.25


def test_fold_values_are_converted_once():
    calls = []

    class Counted:
        def __float__(self):
            calls.append(self)
            return 0.5

    assert wf.py_aggregate_folds([{"test_return": Counted(), "unused": Counted()}])["mean_oos_return"] == 0.5
    assert len(calls) == 2


def test_negative_indices_overflow():
    with pytest.raises(OverflowError):
        wf.py_embargo_indices([1, -2], 0.1, 10)


KEYS = ["mean_oos_return", "std_oos_return", "mean_oos_sharpe", "std_oos_sharpe", "median_oos_return",
        "worst_fold_return", "best_fold_return", "pct_profitable_folds", "sharpe_of_sharpe",
        "return_autocorrelation", "deflated_sharpe", "probability_of_loss"]


def test_aggregate_folds():
    empty = wf.py_aggregate_folds([])
    assert list(empty) == KEYS and set(empty.values()) == {0.0}
    only_return = wf.py_aggregate_folds([{"test_return": 0.02}])
    assert only_return["mean_oos_sharpe"] == 0.0 and only_return["probability_of_loss"] == 0.5
    folds = [{"test_return": r, "test_sharpe": s, "train_return": 0.1, "test_max_drawdown": -0.05, "extra": 1}
             for r, s in [(0.01, 1.0), (-0.02, 0.5), (0.03, 1.5), (0.04, 2.0)]]
    m = wf.py_aggregate_folds(folds)
    assert list(m) == KEYS
    assert m["median_oos_return"] == pytest.approx(0.02)
    assert (m["worst_fold_return"], m["best_fold_return"], m["pct_profitable_folds"]) == (-0.02, 0.04, 0.75)
    assert 0.0 < m["probability_of_loss"] < 0.5  # mostly winning folds


@pytest.mark.parametrize(
    "folds, error",
    [
        ("abc", TypeError),
        ([[("test_return", 1.0)]], TypeError),
        ([{"test_return": "high"}], TypeError),
        ([{"unused": "x"}], TypeError),
        ([{1: 0.5}], TypeError),
    ],
)
def test_aggregate_folds_refuses_bad_items(folds, error):
    with pytest.raises(error):
        wf.py_aggregate_folds(folds)


def test_deflated_sharpe():
    assert wf.py_deflated_sharpe(1.0, 0, 0.5) == 0.0
    assert wf.py_deflated_sharpe(1.0, 10, 1e-10) == 0.0
    assert wf.py_deflated_sharpe(1.0, 1, 1.0) == wf.py_deflated_sharpe(1.0, 2, 1.0)
    assert 0.0 <= wf.py_deflated_sharpe(3.0, 100, 0.5) <= 1.0


# Differential checks against plain-Python statements of the same rules, on random index lists.
from hypothesis import given, settings, strategies as st  # noqa: E402

indices = st.lists(st.integers(min_value=0, max_value=300), max_size=60)


@settings(max_examples=300, deadline=None)
@given(train=indices, test=indices, horizon=st.integers(0, 50), lag=st.integers(0, 50))
def test_index_operations_agree_with_their_plain_statements(train, test, horizon, lag):
    if test and horizon:
        cutoff = max(min(test) - horizon, 0)
        assert wf.py_purge_overlapping_labels(train, test, horizon) == [i for i in train if i < cutoff]
    else:
        assert wf.py_purge_overlapping_labels(train, test, horizon) == train

    leaked, pairs = wf.py_detect_leakage(train, test, lag)
    shared = sorted(set(train) & set(test))
    if not train or not test:
        assert (leaked, pairs) == (False, [])
    elif shared:
        assert (leaked, pairs) == (True, [(i, i) for i in shared])
    elif lag and max(min(test) - max(train), 0) <= lag:
        assert (leaked, pairs) == (True, [(max(train), min(test))])
    else:
        assert (leaked, pairs) == (False, [])


@settings(max_examples=300, deadline=None)
@given(test=indices, pct=st.floats(0.0, 1.0), n_total=st.integers(0, 400))
def test_embargo_agrees_with_its_plain_statement(test, pct, n_total):
    expected = []
    if test and pct > 0:
        start = max(test) + 1
        expected = list(range(start, min(n_total, start + max(math.ceil(pct * len(test)), 1))))
    assert wf.py_embargo_indices(test, pct, n_total) == expected


@settings(max_examples=200, deadline=None)
@given(train=st.integers(1, 50), validation=st.integers(0, 10), purge=st.integers(0, 10), test=st.integers(1, 30),
       step=st.integers(1, 40), expanding=st.booleans(), n=st.integers(0, 400))
def test_split_windows_keep_their_invariants(train, validation, purge, test, step, expanding, n):
    runner = wf.WalkForwardRunner({"train_size": train, "validation_size": validation, "purge_gap": purge,
                                   "test_size": test, "step_size": step,
                                   "window_type": "expanding" if expanding else "rolling"})
    folds = runner.split(n)
    span = train + validation + purge + test
    assert len(folds) == ((n - span) // step + 1 if n >= span else 0)
    for k, f in enumerate(folds):
        assert f["fold_id"] == k
        assert f["train_start"] == (0 if expanding else k * step)
        assert f["train_end"] == k * step + train
        assert f["validation_start"] == f["train_end"]
        assert f["validation_end"] == f["train_end"] + validation
        assert f["test_start"] == f["validation_end"] + purge
        assert f["test_end"] == f["test_start"] + test <= n
    if folds:
        assert folds[-1]["test_end"] + step > n  # no further whole fold fits
