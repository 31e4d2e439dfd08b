// Python face of the RL trading environment: the vesk_rl builder, which fills both the
// stand-alone module vesk_rl and _native.rl with VERSION and the class TradingEnv.
#include <fmt/format.h>

#include "binding/class.hpp"
#include "core/number_format.hpp"
#include "modules.hpp"
#include "rl/env/trading_env.hpp"
#include "rl/observation/default_observation_space.hpp"
#include "rl/reward/pnl_reward.hpp"
#include "rl/reward/sharpe_reward.hpp"

namespace vesk::py {
namespace {

using namespace vesk::rl;

// One environment plus what its steps reuse: the result buffers and the str objects of the
// feature names, which stay the same from step to step.
struct PyTradingEnv {
  rl::TradingEnv env;
  StepResult result;
  std::vector<std::string> names;
  std::vector<Ref> name_objects;
};

// ---- construction ----------------------------------------------------------------------------


EnvConfig read_config(Arg a) {
  static const Key initial_capital("initial_capital"), transaction_cost("transaction_cost"),
      slippage("slippage"), max_steps("max_steps"), seed("seed"), symbol("symbol"),
      return_window("return_window");
  EnvConfig config;
  if (a.is_none()) return config;
  PyObject* dict = require_dict(a);
  if (PyObject* v = dict_item(dict, initial_capital)) config.initial_capital = to_f64({v, "config.initial_capital"});
  if (PyObject* v = dict_item(dict, transaction_cost)) config.transaction_cost = to_f64({v, "config.transaction_cost"});
  if (PyObject* v = dict_item(dict, slippage)) config.slippage = to_f64({v, "config.slippage"});
  if (PyObject* v = dict_item(dict, max_steps)) config.max_steps = to_u64({v, "config.max_steps"});
  if (PyObject* v = dict_item(dict, seed)) config.seed = to_u64({v, "config.seed"});
  if (PyObject* v = dict_item(dict, symbol)) config.symbol = to_str({v, "config.symbol"});
  if (PyObject* v = dict_item(dict, return_window)) config.return_window = to_u64({v, "config.return_window"});
  return config;
}

bool text_equals(PyObject* value, const char* text) {
  return value && PyUnicode_Check(value) && PyUnicode_CompareWithASCIIString(value, text) == 0;
}

// A bound that cannot be read as a float keeps its default, silently.
double float_or(PyObject* value, double fallback) {
  if (!value || PyUnicode_Check(value)) return fallback;
  const double v = PyFloat_AsDouble(value);
  if (v == -1.0 && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_Exception)) throw PythonError{};
    PyErr_Clear();
    return fallback;
  }
  return v;
}

ActionSpaceConfig read_action_space(Arg a) {
  static const Key type("type"), bins("n_quantity_bins"), direction("direction"), min("min"), max("max");
  if (a.is_none()) return {ContinuousActionSpace{{1}, -1.0, 1.0}};
  PyObject* dict = require_dict(a);
  if (text_equals(dict_item(dict, type), "discrete")) {
    PyObject* n = dict_item(dict, bins);
    if (!n) raise_value_error("discrete action_space needs n_quantity_bins");
    const std::uint64_t b = to_u64({n, "action_space.n_quantity_bins"});
    PyObject* d = dict_item(dict, direction);
    const Direction dir = text_equals(d, "long_only")    ? Direction::LongOnly
                          : text_equals(d, "short_only") ? Direction::ShortOnly
                                                         : Direction::Both;
    // Counts that would not fit are refused when the environment is built.
    return {DiscreteActionSpace{b, 2 * b + 1, dir}};
  }
  return {ContinuousActionSpace{{1}, float_or(dict_item(dict, min), -1.0), float_or(dict_item(dict, max), 1.0)}};
}

std::unique_ptr<ObservationSpace> fixed_observation_space() {
  std::vector<FeatureConfig> features = {
      {std::nullopt, "close", {FeatureSource::Price{"close"}}, NormalizerKind::ZScore},
      {std::nullopt, "volume", {FeatureSource::Volume{"volume"}}, NormalizerKind::Noop},
  };
  auto space = DefaultObservationSpace::create(1, std::move(features));
  if (!space) raise_runtime_error(space.error().message());
  return std::make_unique<DefaultObservationSpace>(std::move(*space));
}

std::unique_ptr<RewardFn> read_reward(Arg a) {
  const std::string name = a.is_none() ? "pnl" : to_str(a);
  if (name == "pnl") return std::make_unique<PnLReward>(1.0, 0.0, false);
  if (name == "sharpe") return std::make_unique<SharpeReward>(20, 0.0, 1.0, 10.0, false);
  if (name == "sortino") return std::make_unique<SharpeReward>(20, 0.0, 1.0, 10.0, true);
  raise_value_error(fmt::format("unknown reward type: {}", name));
}

MarketBar read_bar(PyObject* item) {
  static const Key timestamp("timestamp"), open("open"), high("high"), low("low"), close("close"), volume("volume");
  if (!PyDict_Check(item))
    argument_error({item, "market_data"}, fmt::format("bar must be a dict, not '{}'", Py_TYPE(item)->tp_name));
  auto field = [&](const Key& key) {
    PyObject* v = dict_item(item, key);
    if (!v) raise_value_error(fmt::format("missing key: {}", key.text()));
    return v;
  };
  MarketBar bar;
  bar.timestamp = to_u64({field(timestamp), "market_data.timestamp"});
  bar.open = to_f64({field(open), "market_data.open"});
  bar.high = to_f64({field(high), "market_data.high"});
  bar.low = to_f64({field(low), "market_data.low"});
  bar.close = to_f64({field(close), "market_data.close"});
  bar.volume = to_f64({field(volume), "market_data.volume"});
  return bar;
}

std::vector<MarketBar> read_bars(Arg a) {
  if (a.is_none()) raise_value_error("market_data is required");
  PyObject* list = require_list(a);
  std::vector<MarketBar> bars;
  bars.reserve(static_cast<size_t>(PyList_GET_SIZE(list)));
  // The length is read again each time: a conversion may run Python code that changes the list.
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
    Ref item = Ref::borrow(PyList_GET_ITEM(list, i));
    bars.push_back(read_bar(item.get()));
  }
  return bars;
}

[[noreturn]] void raise_env_error(const EnvError& error) {
  const bool finished = std::holds_alternative<EnvError::EpisodeDone>(error.kind) ||
                        std::holds_alternative<EnvError::DataExhausted>(error.kind);
  raise(finished ? PyExc_StopIteration : PyExc_ValueError, error.message());
}

PyTradingEnv construct_env(const Args& a) {
  EnvConfig config = read_config(a[0]);
  ActionSpaceConfig action_space = read_action_space(a[1]);
  std::unique_ptr<ObservationSpace> observation_space = fixed_observation_space();
  std::unique_ptr<RewardFn> reward = read_reward(a[3]);
  std::vector<MarketBar> bars = read_bars(a[2]);
  auto env = rl::TradingEnv::create(std::move(config), std::move(action_space), std::move(observation_space),
                                    std::move(reward), std::move(bars));
  if (!env) raise_env_error(env.error());
  return PyTradingEnv{std::move(*env), {}, {}, {}};
}

// ---- actions ---------------------------------------------------------------------------------

[[noreturn]] void bad_action() { raise_type_error("action must be int (discrete) or list[float] (continuous)"); }

PyObject* sequence_class() {
  static PyObject* cls = [] {
    Ref abc = check_new(PyImport_ImportModule("collections.abc"));
    return check_new(PyObject_GetAttrString(abc.get(), "Sequence")).release();  // kept for the process
  }();
  return cls;
}

std::optional<std::uint64_t> as_index(PyObject* o) {
  if (!PyLong_Check(o) && !(PyIndex_Check(o) && !PyFloat_Check(o))) return std::nullopt;
  Ref index = Ref::steal(PyNumber_Index(o));
  if (!index) {
    // An __index__ that refuses is not an index; any other failure (a refused re-entrant call
    // from its own code, say) passes through.
    if (!PyErr_ExceptionMatches(PyExc_TypeError) && !PyErr_ExceptionMatches(PyExc_ValueError)) {
      throw PythonError{};
    }
    PyErr_Clear();
    return std::nullopt;
  }
  const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();  // negative or too large: not an index
    return std::nullopt;
  }
  return v;
}

// A conversion failure becomes the action TypeError; any other error (a refused re-entrant call
// from a sequence's own code, say) passes through.
[[noreturn]] void conversion_failed() {
  if (PyErr_ExceptionMatches(PyExc_TypeError) || PyErr_ExceptionMatches(PyExc_ValueError)) {
    PyErr_Clear();
    bad_action();
  }
  throw PythonError{};
}

std::vector<double> continuous_values(PyObject* o) {
  // A list is copied: an item's __float__ may run Python code that shrinks or clears it.
  Ref items = Ref::steal(PyList_CheckExact(o) ? PyList_AsTuple(o) : PySequence_Fast(o, "action must be a sequence"));
  if (!items) conversion_failed();
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(items.get());
  std::vector<double> values;
  values.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* item = PySequence_Fast_GET_ITEM(items.get(), i);
    if (PyUnicode_Check(item)) bad_action();
    const double v = PyFloat_AsDouble(item);
    if (v == -1.0 && PyErr_Occurred()) conversion_failed();
    values.push_back(v);
  }
  return values;
}

Action read_action(PyObject* o) {
  if (auto index = as_index(o)) return Action::discrete(*index);
  if (PyUnicode_Check(o)) bad_action();
  if (PyList_Check(o) || PyTuple_Check(o)) return Action::continuous(continuous_values(o));
  const int is_sequence = PyObject_IsInstance(o, sequence_class());
  if (is_sequence < 0) throw PythonError{};
  if (is_sequence == 0) bad_action();
  return Action::continuous(continuous_values(o));
}

// ---- results ---------------------------------------------------------------------------------

Ref name_list(PyTradingEnv& self, const std::vector<std::string>& names) {
  if (names != self.names) {
    self.names = names;
    self.name_objects.clear();
    for (const std::string& n : names) self.name_objects.push_back(check_new(PyUnicode_InternFromString(n.c_str())));
  }
  Ref list = check_new(PyList_New(static_cast<Py_ssize_t>(self.name_objects.size())));
  for (size_t i = 0; i < self.name_objects.size(); ++i)
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), Ref(self.name_objects[i]).release());
  return list;
}

Ref observation_dict(PyTradingEnv& self, const Observation& obs) {
  static const Key features("features"), feature_names("feature_names"), timestamp("timestamp");
  return DictBuilder()
      .set(features, py_list(obs.features))
      .set(feature_names, name_list(self, obs.feature_names))
      .set(timestamp, obs.timestamp ? py_int(static_cast<uint64_t>(*obs.timestamp)) : py_none())
      .done();
}

Ref info_dict(const EnvInfo& info) {
  static const Key portfolio_value("portfolio_value"), trades_executed("trades_executed"),
      transaction_costs("transaction_costs"), current_step("current_step"), done("done"),
      initial_capital("initial_capital");
  return DictBuilder()
      .set(portfolio_value, py_float(info.portfolio_value))
      .set(trades_executed, py_int(static_cast<uint64_t>(info.trades_executed)))
      .set(transaction_costs, py_float(info.transaction_costs))
      .set(current_step, py_int(static_cast<uint64_t>(info.current_step)))
      .set(done, py_bool(info.done))
      .set(initial_capital, py_float(info.initial_capital))
      .done();
}

// ---- methods ---------------------------------------------------------------------------------

Ref reset(PyTradingEnv& self, const Args&) {
  auto obs = self.env.reset();
  if (!obs) raise_env_error(obs.error());
  return observation_dict(self, *obs);
}

Ref step(PyTradingEnv& self, const Args& a) {
  const Action action = read_action(a[0].object);
  if (auto stepped = self.env.step_into(action, self.result); !stepped) raise_env_error(stepped.error());
  const StepResult& r = self.result;
  return py_tuple({observation_dict(self, r.observation), py_float(r.reward), py_bool(r.done), py_bool(r.truncated),
                   info_dict(r.info)});
}

const char* lower_bool(bool v) { return v ? "true" : "false"; }

Ref render(const PyTradingEnv& self, const Args&) {
  const rl::TradingEnv& e = self.env;
  const PortfolioState& p = e.portfolio();
  return py_str(fmt::format("step={}/{} | value=${} | cash=${} | pos={} | trades={} | cost=${} | done={}",
                            e.current_step(), e.num_bars(), fixed_number(p.portfolio_value, 2),
                            fixed_number(p.cash, 2), fixed_number(p.position, 4), e.trades_executed(),
                            fixed_number(e.transaction_costs(), 2), lower_bool(e.done())));
}

Ref close(PyTradingEnv&, const Args&) { return py_none(); }

std::string env_repr(const PyTradingEnv& self) {
  return fmt::format("TradingEnv(step={}, done={}, portfolio={})", self.env.current_step(),
                     lower_bool(self.env.done()), fixed_number(self.env.portfolio().portfolio_value, 2));
}

Ref current_step(const PyTradingEnv& self) { return py_int(static_cast<uint64_t>(self.env.current_step())); }
Ref done(const PyTradingEnv& self) { return py_bool(self.env.done()); }
Ref portfolio_value(const PyTradingEnv& self) { return py_float(self.env.portfolio().portfolio_value); }
Ref info(const PyTradingEnv& self) { return info_dict(self.env.info()); }
Ref position(const PyTradingEnv& self) { return py_float(self.env.portfolio().position); }

// Bounds of every observation over this environment's bars, for Gymnasium spaces.
Ref observation_space(const PyTradingEnv& self) {
  const BoxSpec box = self.env.observation_box();
  return DictBuilder()
      .set("shape", py_list(box.shape))
      .set("low", py_list(box.low))
      .set("high", py_list(box.high))
      .set("dtype", py_str("float64"))
      .done();
}

const char* direction_label(Direction d) {
  switch (d) {
    case Direction::LongOnly: return "long_only";
    case Direction::ShortOnly: return "short_only";
    case Direction::Both: break;
  }
  return "both";
}

// The action space as the environment understood its configuration.
Ref action_space(const PyTradingEnv& self) {
  const ActionSpaceConfig& space = self.env.action_space();
  if (const auto* d = std::get_if<DiscreteActionSpace>(&space.kind)) {
    return DictBuilder()
        .set("type", py_str("discrete"))
        .set("n_actions", py_int(static_cast<uint64_t>(d->n_actions)))
        .set("n_quantity_bins", py_int(static_cast<uint64_t>(d->n_quantity_bins)))
        .set("direction", py_str(direction_label(d->direction)))
        .done();
  }
  const auto& c = std::get<ContinuousActionSpace>(space.kind);
  return DictBuilder()
      .set("type", py_str("continuous"))
      .set("shape", py_list(c.shape))
      .set("low", py_float(c.low))
      .set("high", py_float(c.high))
      .done();
}

PyObject* env_class() {
  return class_object<PyTradingEnv>([] {
    return ClassDef<PyTradingEnv>{
        .doc = "TradingEnv(config=None, action_space=None, market_data=None, reward=None)\n--\n\n"
               "Python 可见的 `TradingEnv` 包装",
        .construct = construct_env,
        .methods = {method<&reset>("reset($self)\n--\n\n重置环境，返回初始观测 dict"),
                    method<&step>("step($self, action)\n--\n\n执行一步，返回 `(observation, reward, terminated, truncated, info)`"),
                    method<&render>("render($self)\n--\n\n渲染环境状态"),
                    method<&close>("close($self)\n--\n\n关闭环境（保留接口兼容 Gymnasium）")},
        .properties = {property<&current_step>("current_step", "当前步"),
                       property<&done>("done", "是否已结束"),
                       property<&portfolio_value>("portfolio_value", "组合市值"),
                       property<&info>("info", "信息 dict"),
                       property<&position>("position", "Units of the instrument held"),
                       property<&observation_space>("observation_space",
                                                    "Bounds of every observation over the bars: dict of shape, low, "
                                                    "high, dtype"),
                       property<&action_space>("action_space", "The action space as configured: dict")},
        .repr = env_repr,
    };
  });
}

}  // namespace

void build_vesk_rl(PyObject* module) {
  add_string(module, "VERSION", "0.1.1");
  add_attribute(module, "TradingEnv", Ref::borrow(env_class()));
}

}  // namespace vesk::py
