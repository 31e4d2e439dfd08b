"""The Python face of the RL trading environment: vesk_quant.rl.TradingEnv and vesk_rl."""

import collections.abc
import inspect
import math

import numpy as np
import pytest
import vesk_rl
from vesk_quant import _native

TradingEnv = _native.rl.TradingEnv
INFO_KEYS = ["portfolio_value", "trades_executed", "transaction_costs", "current_step", "done", "initial_capital"]
DISCRETE = {"type": "discrete", "n_quantity_bins": 2}


def bars(closes, volumes=None):
    volumes = volumes or [10.0 + i for i in range(len(closes))]
    return [
        {"timestamp": 1000 * i, "open": c, "high": c, "low": c, "close": c, "volume": v}
        for i, (c, v) in enumerate(zip(closes, volumes))
    ]


def env(closes=(100.0, 101.0, 102.0), **kwargs):
    return TradingEnv(market_data=bars(list(closes)), **kwargs)


def test_module_surface():
    assert vesk_rl.TradingEnv is TradingEnv
    assert vesk_rl.VERSION == _native.rl.VERSION == "0.1.1"
    assert not hasattr(_native.rl, "__version__")
    assert TradingEnv.__module__ == "builtins"
    assert str(inspect.signature(TradingEnv)) == "(config=None, action_space=None, market_data=None, reward=None)"
    assert TradingEnv.step.__text_signature__ == "($self, action)"
    assert TradingEnv.reset.__doc__ == "重置环境，返回初始观测 dict"


@pytest.mark.parametrize(
    ("kwargs", "error", "message"),
    [
        ({}, ValueError, "market_data is required"),
        ({"market_data": []}, ValueError, "market data is empty"),
        ({"market_data": bars([1.0]), "reward": "SHARPE"}, ValueError, "unknown reward type: SHARPE"),
        ({"market_data": [{"timestamp": 0, "open": 1, "high": 1, "low": 1, "close": 1}]}, ValueError, "missing key: volume"),
        ({"market_data": [{"open": 1}]}, ValueError, "missing key: timestamp"),
        ({"market_data": bars([1.0]), "action_space": {"type": "discrete"}}, ValueError,
         "discrete action_space needs n_quantity_bins"),
        ({"market_data": [(0, 1, 1, 1, 1, 1)]}, TypeError, None),
        ({"market_data": tuple(bars([1.0]))}, TypeError, "market_data"),
        ({"market_data": bars([1.0]), "config": {"seed": None}}, TypeError, None),
        ({"market_data": bars([1.0]), "config": {"symbol": 5}}, TypeError, None),
        ({"market_data": bars([1.0]), "config": {"max_steps": -1}}, OverflowError, None),
        ({"market_data": bars([1.0]), "config": []}, TypeError, "config"),
        ({"market_data": bars([1.0]), "reward": 3}, TypeError, "reward"),
        ({"market_data": bars([1.0]), "config": {"initial_capital": math.nan}}, ValueError,
         "invalid config: initial_capital must be a finite number, got NaN"),
        ({"market_data": bars([1.0]), "config": {"transaction_cost": math.inf}}, ValueError,
         "invalid config: transaction_cost must be a finite number, got inf"),
        ({"market_data": bars([1.0]), "config": {"slippage": -math.inf}}, ValueError,
         "invalid config: slippage must be a finite number, got -inf"),
        ({"market_data": bars([math.nan, 1.0])}, ValueError,
         "invalid market data: close of the first bar must be a finite number greater than 0, got NaN"),
        ({"market_data": bars([0.0, 1.0])}, ValueError,
         "invalid market data: close of the first bar must be a finite number greater than 0, got 0"),
    ],
)
def test_construction_errors(kwargs, error, message):
    with pytest.raises(error) as raised:
        TradingEnv(**kwargs)
    if message is not None:
        assert message in str(raised.value)
    if error is ValueError:
        assert str(raised.value) == message


@pytest.mark.parametrize(
    ("low", "high", "shown"),
    [(1.0, -1.0, "min 1 and max -1"), (math.nan, 1.0, "min NaN and max 1"), (0.0, math.nan, "min 0 and max NaN")],
)
def test_unusable_continuous_bounds_are_refused(low, high, shown):
    with pytest.raises(ValueError) as raised:
        env(action_space={"min": low, "max": high})
    assert str(raised.value) == (
        f"invalid action_space: continuous action bounds must be numbers with min <= max, got {shown}"
    )


@pytest.mark.parametrize(
    ("space", "described"),
    [
        (None, {"type": "continuous", "shape": [1], "low": -1.0, "high": 1.0}),
        ({"type": "discrete", "n_quantity_bins": 3},
         {"type": "discrete", "n_actions": 7, "n_quantity_bins": 3, "direction": "both"}),
        ({"type": "discrete", "n_quantity_bins": 1, "direction": "long_only"},
         {"type": "discrete", "n_actions": 3, "n_quantity_bins": 1, "direction": "long_only"}),
        ({"type": "discrete", "n_quantity_bins": 1, "direction": 5},
         {"type": "discrete", "n_actions": 3, "n_quantity_bins": 1, "direction": "both"}),
        ({"type": "Discrete", "n_quantity_bins": 3}, {"type": "continuous", "shape": [1], "low": -1.0, "high": 1.0}),
        ({"min": "a", "max": 0.5}, {"type": "continuous", "shape": [1], "low": -1.0, "high": 0.5}),
        ({"type": 7, "min": 0, "max": 2}, {"type": "continuous", "shape": [1], "low": 0.0, "high": 2.0}),
    ],
)
def test_action_space_configuration(space, described):
    assert env(action_space=space).action_space == described


def test_fresh_environment_state():
    e = env(closes=[100.0] * 100, config={"initial_capital": 5000})
    assert e.current_step == 0
    assert e.done is False
    assert e.portfolio_value == 5000.0
    assert list(e.info) == INFO_KEYS
    assert e.info["initial_capital"] == 5000.0
    assert repr(e) == "TradingEnv(step=0, done=false, portfolio=5000.00)"
    default = env(closes=[100.0] * 100)
    assert default.render() == (
        "step=0/100 | value=$100000.00 | cash=$100000.00 | pos=0.0000 | trades=0 | cost=$0.00 | done=false"
    )
    assert default.close() is None


def test_episode_life_cycle():
    e = env()
    observation = e.reset()
    assert isinstance(observation, dict)
    assert list(observation) == ["features", "feature_names", "timestamp"]
    assert observation["feature_names"] == ["close_t0", "volume_t0"]
    first = e.step([0.0])
    assert isinstance(first, tuple) and len(first) == 5
    assert first[2] is False and first[3] is False
    second = e.step([0.0])
    assert second[2] is True
    assert e.done is True
    assert repr(e) == "TradingEnv(step=2, done=true, portfolio=100000.00)"
    with pytest.raises(StopIteration, match="^episode already done at step 2$"):
        e.step([0.0])
    e.reset()
    assert e.done is False and e.current_step == 0


def test_truncated_reports_the_step_budget():
    e = env(closes=[100.0] * 10, config={"max_steps": 2})
    assert e.step([0.0])[3] is False
    _, _, done, truncated, _ = e.step([0.0])
    assert done is True and truncated is True
    ran_out = env(closes=[100.0, 101.0])
    _, _, done, truncated, _ = ran_out.step([0.0])
    assert done is True and truncated is False


@pytest.mark.parametrize("action", ["1", 1.5, -1, None, {"a": 1}, [0.5, "x"], np.float64(0.5), np.zeros(1)])
def test_unconvertible_actions(action):
    with pytest.raises(TypeError, match=r"^action must be int \(discrete\) or list\[float\] \(continuous\)$"):
        env(action_space=DISCRETE).step(action)


class Weights(collections.abc.Sequence):
    def __init__(self, *values):
        self.values = values

    def __getitem__(self, i):
        return self.values[i]

    def __len__(self):
        return len(self.values)


def emptied_while_read(value, n=1000):
    """A list action whose items empty the list while they are converted."""
    action = []

    class Clears:
        def __float__(self):
            action.clear()
            return value

    action.extend(Clears() for _ in range(n))
    return action


@pytest.mark.parametrize(
    ("space", "action", "trades"),
    [
        (DISCRETE, True, 1),
        (DISCRETE, np.int64(1), 1),
        (DISCRETE, 0, 0),
        (None, [0.5], 1),
        (None, (0.5,), 1),
        (None, Weights(0.5), 1),
        (None, emptied_while_read(0.5), 1),
        (None, [1], 0),
        (None, b"\x00", 0),  # bytes are a sequence of numbers too
    ],
)
def test_accepted_actions(space, action, trades):
    e = env(action_space=space)
    e.step(action)
    assert e.info["trades_executed"] == trades


@pytest.mark.parametrize(
    ("space", "action", "message"),
    [
        (None, 2, "action conversion failed: Continuous action value 2 out of range [-1, 1]"),
        (DISCRETE, [0.3], "action conversion failed: Continuous action value 0.3 out of range [0, 5]"),
        (DISCRETE, 5, "action conversion failed: Invalid action index 5 for space of size 5"),
        (DISCRETE, 3, "action conversion failed: No position to sell: current position = 0"),
        (DISCRETE, b"1", "action conversion failed: Continuous action value 49 out of range [0, 5]"),
    ],
)
def test_refused_actions_change_nothing(space, action, message):
    e = env(action_space=space)
    with pytest.raises(ValueError) as raised:
        e.step(action)
    assert str(raised.value) == message
    assert e.current_step == 0


def test_invalid_next_close_fails_before_the_fill():
    e = env(closes=[100.0, 0.0, 102.0])
    with pytest.raises(ValueError, match=r"^invalid action: invalid last_price: 0$"):
        e.step([0.5])
    assert e.current_step == 0
    assert e.info["trades_executed"] == 0
    assert e.render().startswith("step=0/3 | value=$100000.00 | cash=$100000.00 | pos=0.0000 | trades=0")


def test_fill_reward_and_render_after_a_trade():
    e = env(closes=[100.0, 110.0, 120.0])
    observation, reward, done, truncated, info = e.step([0.5])
    assert reward == pytest.approx(5000.0)
    assert info["trades_executed"] == 1
    assert info["transaction_costs"] == pytest.approx(50.025)
    cash = 100000 - 500 * 100.05 - 50.025
    assert e.render() == (
        f"step=1/3 | value=${cash + 500 * 110:.2f} | cash=${cash:.2f} | pos=500.0000 | trades=1 "
        f"| cost=${50.025:.2f} | done=false"
    )


def test_observation_carries_the_current_bar():
    e = env(closes=[100.0, 101.0, 102.0, 103.0], config={"max_steps": 10})
    assert e.reset()["features"][1] == 10.0
    for i in range(1, 4):
        observation = e.step([0.0])[0]
        assert observation["features"][1] == 10.0 + i
        assert observation["timestamp"] == 1000 * i


def test_zscored_close_is_fed_by_the_bars_reached():
    e = env(closes=[100.0, 101.0, 102.0, 103.0])
    assert e.reset()["features"][0] == 0.0
    assert e.step([0.0])[0]["features"][0] == pytest.approx(0.5 / math.sqrt(0.5))
    assert e.step([0.0])[0]["features"][0] == pytest.approx(1.0)
    assert e.reset()["features"][0] == 0.0  # reset forgets the statistics


def test_rewards_by_name():
    closes = [1000.0, 1004.0, 1020.0, 1030.0]
    # 50 units bought at the first close, then the close moves by 4.
    assert env(closes=closes, reward="pnl").step([0.5])[1] == pytest.approx(50 * 4)
    sharpe = env(closes=closes, reward="sharpe")
    rewards = [sharpe.step([1.0 if i == 0 else 0.5])[1] for i in range(3)]
    assert all(-10.0 <= r <= 10.0 for r in rewards)
    assert env(closes=closes, reward="sortino").step([0.0])[1] == 0.0


def test_step_results_are_fresh_objects():
    e = env(closes=[100.0] * 5)
    first = e.step([0.0])
    second = e.step([0.0])
    assert first[0] is not second[0] and first[0]["features"] is not second[0]["features"]
    assert first[4] is not second[4]
    first[0]["feature_names"].append("mine")
    assert e.step([0.0])[0]["feature_names"] == ["close_t0", "volume_t0"]


def test_observation_space_bounds_every_observation():
    closes = [100.0, 50.0, 200.0, 120.0]
    e = env(closes=closes, config={"max_steps": 10})
    box = e.observation_space
    assert box == {"shape": [2], "low": [-5.0, 10.0], "high": [5.0, 13.0], "dtype": "float64"}
    observations = [e.reset()] + [e.step([0.0])[0] for _ in range(3)]
    for observation in observations:
        for value, low, high in zip(observation["features"], box["low"], box["high"]):
            assert low <= value <= high


class SneakySequence(collections.abc.Sequence):
    def __init__(self, e):
        self.e = e

    def __getitem__(self, i):
        if i == 0:
            self.e.reset()
        raise IndexError

    def __len__(self):
        return 1


class SneakyIndex:
    def __init__(self, e):
        self.e = e

    def __index__(self):
        self.e.reset()
        return 0


@pytest.mark.parametrize("sneaky", [SneakySequence, SneakyIndex])
def test_reentrant_use_is_refused(sneaky):
    e = env()
    with pytest.raises(RuntimeError, match="^Already borrowed$"):
        e.step(sneaky(e))
