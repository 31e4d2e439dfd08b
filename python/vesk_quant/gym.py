"""Gymnasium environment over the native ``TradingEnv``.

Importing this module registers the environment as ``VeskTrading-v0``::

    import gymnasium
    import vesk_quant.gym  # noqa: F401  (registers VeskTrading-v0)

    env = gymnasium.make("VeskTrading-v0", market_data=bars, action_space={"type": "discrete", "n_quantity_bins": 2})

``vesk_quant`` itself does not need Gymnasium; only this module does.
"""

from __future__ import annotations

from typing import Any

import gymnasium
import numpy as np
from gymnasium import spaces
from gymnasium.envs.registration import EnvSpec

from ._native import rl as _rl

__all__ = ["ENV_ID", "TradingGymEnv"]

ENV_ID = "VeskTrading-v0"
_ENTRY_POINT = "vesk_quant.gym:TradingGymEnv"


def _observation_space(bounds: dict[str, Any]) -> spaces.Box:
    low = np.asarray(bounds["low"], dtype=np.float64)
    high = np.asarray(bounds["high"], dtype=np.float64)
    # A value no bar could bound (no finite reading at all) gets the whole line.
    unbounded = ~(low <= high)
    low[unbounded], high[unbounded] = -np.inf, np.inf
    # A feature that never varies still needs a box of positive width.
    high = np.where(low == high, np.nextafter(high, np.inf), high)
    return spaces.Box(low=low, high=high, shape=tuple(bounds["shape"]), dtype=np.float64)


def _action_space(described: dict[str, Any]) -> spaces.Space:
    if described["type"] == "discrete":
        return spaces.Discrete(described["n_actions"])
    shape = tuple(described["shape"])
    low = np.full(shape, described["low"], dtype=np.float32)
    high = np.full(shape, described["high"], dtype=np.float32)
    return spaces.Box(low=low, high=high, shape=shape, dtype=np.float32)


class TradingGymEnv(gymnasium.Env):
    """``gymnasium.Env`` over ``vesk_quant.rl.TradingEnv``, built from the same keyword arguments.

    Observations are float64 arrays of the features (z-scored close, raw volume). A discrete sell
    while nothing is held holds, so that every action of ``action_space`` is valid. ``terminated``
    is true when the data ran out, ``truncated`` when the environment's ``max_steps`` budget
    ended the episode. ``step`` before the first ``reset`` raises ``gymnasium.error.ResetNeeded``.
    """

    metadata = {"render_modes": ["ansi"], "render_fps": 4}

    def __init__(
        self,
        config: dict[str, Any] | None = None,
        action_space: dict[str, Any] | None = None,
        market_data: list[dict[str, Any]] | None = None,
        reward: str | None = None,
        render_mode: str | None = None,
    ) -> None:
        if render_mode is not None and render_mode not in self.metadata["render_modes"]:
            raise ValueError(
                f"render_mode must be None or one of {self.metadata['render_modes']}, got {render_mode!r}"
            )
        self._env = _rl.TradingEnv(config=config, action_space=action_space, market_data=market_data, reward=reward)
        self.render_mode = render_mode
        self.observation_space = _observation_space(self._env.observation_space)
        self.action_space = _action_space(self._env.action_space)
        self._discrete = isinstance(self.action_space, spaces.Discrete)
        # Discrete actions above this index sell; with nothing held they hold instead.
        self._last_buy = self._env.action_space.get("n_quantity_bins", 0)
        self._needs_reset = True
        # gymnasium.make replaces this with its own; a directly built env can still be remade.
        self.spec = EnvSpec(
            id=ENV_ID,
            entry_point=_ENTRY_POINT,
            order_enforce=False,
            disable_env_checker=True,
            kwargs={
                "config": config,
                "action_space": action_space,
                "market_data": market_data,
                "reward": reward,
                "render_mode": render_mode,
            },
        )

    @property
    def native(self) -> Any:
        """The wrapped ``TradingEnv``."""
        return self._env

    def reset(
        self, *, seed: int | None = None, options: dict[str, Any] | None = None
    ) -> tuple[np.ndarray, dict[str, Any]]:
        # The simulation itself is deterministic; the seed only drives self.np_random.
        super().reset(seed=seed)
        observation = self._env.reset()
        self._needs_reset = False
        return np.array(observation["features"], dtype=np.float64), self._env.info

    def step(self, action: Any) -> tuple[np.ndarray, float, bool, bool, dict[str, Any]]:
        if self._needs_reset:
            raise gymnasium.error.ResetNeeded("Cannot call env.step() before calling env.reset()")
        if self._discrete:
            if action > self._last_buy and self._env.position <= 0:
                action = 0  # every action of the space must be valid: selling nothing holds
        elif isinstance(action, np.ndarray):
            action = action.reshape(-1).tolist()
        try:
            observation, reward, done, truncated, info = self._env.step(action)
        except StopIteration as finished:
            # A finished episode needs a reset, as in every Gymnasium environment.
            raise gymnasium.error.ResetNeeded(str(finished)) from None
        if done:
            self._needs_reset = True
        features = np.array(observation["features"], dtype=np.float64)
        return features, reward, done and not truncated, truncated, info

    def render(self) -> str | None:
        if self.render_mode is None:
            gymnasium.logger.warn(
                "You are calling render method without specifying any render mode. "
                f'You can specify the render_mode at initialization, e.g. gymnasium.make("{ENV_ID}", render_mode="ansi")'
            )
            return None
        return self._env.render()

    def close(self) -> None:
        self._env.close()


if ENV_ID not in gymnasium.registry:
    # Registered without Gymnasium's default wrappers: the env checks the reset-before-step order
    # itself, and a bare env is what gymnasium.utils.env_checker.check_env expects to be given.
    gymnasium.register(id=ENV_ID, entry_point=_ENTRY_POINT, order_enforce=False, disable_env_checker=True)
