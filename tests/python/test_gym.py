"""vesk_quant.gym.TradingGymEnv under real Gymnasium."""

import math
import subprocess
import sys
import warnings

import gymnasium
import numpy as np
import pytest
from gymnasium.utils.env_checker import check_env
from vesk_quant.gym import ENV_ID, TradingGymEnv

BARS = [
    {
        "timestamp": 60000 * i,
        "open": 100 + math.sin(i),
        "high": 101 + math.sin(i),
        "low": 99 + math.sin(i),
        "close": 100 + math.sin(i / 3) * 5,
        "volume": 10.0 + i % 7,
    }
    for i in range(60)
]
SPACES = {
    "continuous": None,
    "discrete": {"type": "discrete", "n_quantity_bins": 2},
}


@pytest.fixture(params=sorted(SPACES))
def space(request):
    return SPACES[request.param]


@pytest.mark.parametrize("made", [False, True], ids=["direct", "gymnasium.make"])
@pytest.mark.parametrize("render_mode", [None, "ansi"])
def test_passes_the_environment_checker_without_warnings(space, made, render_mode):
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        if made:
            env = gymnasium.make(ENV_ID, market_data=BARS, action_space=space, render_mode=render_mode)
        else:
            env = TradingGymEnv(market_data=BARS, action_space=space, render_mode=render_mode)
        check_env(env)


@pytest.mark.parametrize(
    ("space", "expected"),
    [
        (None, gymnasium.spaces.Box(-1.0, 1.0, (1,), np.float32)),
        ({"min": 0.0, "max": 0.5}, gymnasium.spaces.Box(0.0, 0.5, (1,), np.float32)),
        ({"type": "discrete", "n_quantity_bins": 3}, gymnasium.spaces.Discrete(7)),
    ],
)
def test_action_space_matches_the_configuration(space, expected):
    assert TradingGymEnv(market_data=BARS, action_space=space).action_space == expected


def test_observations_are_fresh_arrays_inside_honest_bounds(space):
    env = TradingGymEnv(market_data=BARS, action_space=space, config={"max_steps": 10_000})
    box = env.observation_space
    assert box.dtype == np.float64 and box.shape == (2,)
    assert np.all(np.isfinite(box.low)) and np.all(np.isfinite(box.high))
    assert box.low.tolist() == [-5.0, 10.0] and box.high.tolist() == [5.0, 16.0]
    env.action_space.seed(7)
    observation, info = env.reset(seed=7)
    seen = [observation]
    terminated = truncated = False
    while not (terminated or truncated):
        observation, reward, terminated, truncated, info = env.step(env.action_space.sample())
        assert type(reward) is float and type(terminated) is bool and type(truncated) is bool
        assert all(math.isfinite(v) for v in info.values() if isinstance(v, float))
        seen.append(observation)
    assert terminated and not truncated  # the data ran out, not the step budget
    for observation in seen:
        assert observation.dtype == np.float64 and observation.shape == (2,)
        assert observation in box
    assert len({id(o) for o in seen}) == len(seen)
    assert any(o[0] != 0.0 for o in seen)  # the z-scored close carries information


def test_constant_features_still_get_a_box_of_positive_width():
    flat = [dict(bar, volume=3.0) for bar in BARS]
    box = TradingGymEnv(market_data=flat).observation_space
    assert box.low[1] == 3.0 and box.high[1] > 3.0


def test_step_budget_truncates():
    env = TradingGymEnv(market_data=BARS, config={"max_steps": 3})
    env.reset()
    results = [env.step(np.zeros(1, dtype=np.float32))[2:4] for _ in range(3)]
    assert results == [(False, False), (False, False), (False, True)]


def test_step_before_reset_and_after_the_end_needs_a_reset():
    env = TradingGymEnv(market_data=BARS[:2])
    with pytest.raises(gymnasium.error.ResetNeeded):
        env.step(np.zeros(1, dtype=np.float32))
    env.reset()
    assert env.step(np.zeros(1, dtype=np.float32))[2] is True
    with pytest.raises(gymnasium.error.ResetNeeded):
        env.step(np.zeros(1, dtype=np.float32))


def test_sampled_sells_without_a_position_hold():
    env = TradingGymEnv(market_data=BARS, action_space=SPACES["discrete"])
    env.reset()
    _, _, _, _, info = env.step(np.int64(4))
    assert info["trades_executed"] == 0
    env.step(np.int64(1))
    _, _, _, _, info = env.step(np.int64(4))
    assert info["trades_executed"] == 2 and env.native.position == pytest.approx(0.0, abs=1e-9)


def test_seeded_resets_repeat_the_episode(space):
    def run(seed):
        env = TradingGymEnv(market_data=BARS, action_space=space)
        env.action_space.seed(seed)
        observations = [env.reset(seed=seed)[0]]
        rewards = []
        for _ in range(20):
            observation, reward, *_ = env.step(env.action_space.sample())
            observations.append(observation)
            rewards.append(reward)
        return np.array(observations), rewards

    first, second = run(3), run(3)
    assert np.array_equal(first[0], second[0]) and first[1] == second[1]


def test_render_modes():
    assert TradingGymEnv.metadata["render_modes"] == ["ansi"] and TradingGymEnv.metadata["render_fps"] > 0
    env = TradingGymEnv(market_data=BARS, render_mode="ansi")
    env.reset()
    assert env.render().startswith("step=0/60 | value=$100000.00")
    with pytest.raises(ValueError, match="render_mode"):
        TradingGymEnv(market_data=BARS, render_mode="human")


def test_native_errors_pass_through():
    with pytest.raises(ValueError, match="^market_data is required$"):
        TradingGymEnv()
    with pytest.raises(ValueError, match="^market_data is required$"):
        gymnasium.make(ENV_ID)


def test_vesk_quant_imports_without_gymnasium():
    blocked = "import sys; sys.modules['gymnasium'] = None; import vesk_quant; print(vesk_quant.rl.VERSION)"
    out = subprocess.run([sys.executable, "-c", blocked], capture_output=True, text=True, check=True)
    assert out.stdout.strip() == "0.1.1"
