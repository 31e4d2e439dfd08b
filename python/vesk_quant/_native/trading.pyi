from collections.abc import Sequence
from typing import Any, Literal, SupportsFloat, SupportsIndex, TypedDict

Mode = Literal["dry_run", "two_phase", "direct"]
Side = Literal["Buy", "Sell"]

# What `execute` takes: a dict in the JSON form of the tool's argument record. Keys that a
# record does not know are ignored; "extras" may hold any JSON-convertible value.
PlaceOrderArgs = dict[str, Any]  # symbol, side, quantity, order_type, price, stop_loss, take_profit, time_in_force, extras
CancelOrderArgs = dict[str, Any]  # order_id
ReplaceOrderArgs = dict[str, Any]  # order_id, new_req (a PlaceOrderArgs dict)
QueryPortfolioArgs = dict[str, Any]  # symbol (optional)

class OrderAck(TypedDict, total=False):
    confirm_token: str  # only on a two-phase "Pending" ack
    order_id: str  # "MOCK-<n>", "DRY-RUN" or "PENDING"
    quantity: float
    side: Side
    status: str  # "Filled", "Cancelled", "Replaced", "DryRun", "Pending"
    symbol: str
    timestamp_ms: int

class CurrencyBalance(TypedDict):
    currency: str
    free: float
    locked: float

class BalanceSnapshot(TypedDict):
    as_of_ms: int
    currencies: list[CurrencyBalance]

class PositionSnapshot(TypedDict):
    as_of_ms: int
    entry_price: float
    quantity: float  # negative is short
    symbol: str
    unrealized_pnl: float

class PortfolioSnapshot(TypedDict):
    balance: BalanceSnapshot
    positions: list[PositionSnapshot]

class MetricSample(TypedDict):
    name: str
    kind: Literal["Counter", "Gauge", "Histogram"]
    value: float
    labels: dict[str, str]

class RiskLimits:
    def __init__(
        self,
        max_order_notional: SupportsFloat | SupportsIndex | None = None,
        max_daily_orders: SupportsIndex | None = None,
        max_daily_cancels: SupportsIndex | None = None,
        max_position_abs: SupportsFloat | SupportsIndex | None = None,
        allowed_symbols: Sequence[str] | None = None,
    ) -> None: ...
    @staticmethod
    def permissive() -> RiskLimits: ...

class MockTradingBackend:
    def __init__(self) -> None: ...
    def order_count(self) -> int: ...

class TradingMetrics:
    def __init__(self) -> None: ...
    def snapshot(self) -> list[MetricSample]: ...
    def snapshot_filtered(self, name: str) -> list[MetricSample]: ...

class PlaceOrderTool:
    def __init__(
        self, backend: MockTradingBackend, mode: Mode, risk: RiskLimits, metrics: TradingMetrics | None = None
    ) -> None: ...
    @property
    def mode(self) -> Mode: ...
    def execute(self, args: PlaceOrderArgs) -> OrderAck: ...

class QueryPortfolioTool:
    def __init__(self, backend: MockTradingBackend) -> None: ...
    def execute(self, args: QueryPortfolioArgs | None = None) -> PortfolioSnapshot: ...

class CancelOrderTool:
    def __init__(self, backend: MockTradingBackend, risk: RiskLimits, metrics: TradingMetrics | None = None) -> None: ...
    def execute(self, args: CancelOrderArgs) -> OrderAck: ...

class ReplaceOrderTool:
    def __init__(self, backend: MockTradingBackend, risk: RiskLimits, metrics: TradingMetrics | None = None) -> None: ...
    def execute(self, args: ReplaceOrderArgs) -> OrderAck: ...
