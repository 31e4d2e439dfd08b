// Python face of the trading tools: _native.trading, _native.llm.trading, vesk_llm.trading.
// Arguments arrive as Python objects, travel to the tools as JSON text and come back as Python
// objects; tool errors become built-in exceptions. The tools never wait on anything, so each
// call runs to completion on the calling thread, holding the interpreter lock.
#include <fmt/format.h>

#include "binding/class.hpp"
#include "binding/json_convert.hpp"
#include "binding/log_bridge.hpp"
#include "core/clock.hpp"
#include "core/log.hpp"
#include "core/number_format.hpp"
#include "modules.hpp"
#include "trading/cancel_order_tool.hpp"
#include "trading/mock_backend.hpp"
#include "trading/place_order_tool.hpp"
#include "trading/query_portfolio_tool.hpp"
#include "trading/replace_order_tool.hpp"
#include "trading/types_json.hpp"

namespace vesk::py {
namespace {

using namespace vesk::trading;

struct PyRiskLimits {
  RiskLimits value;
};
struct PyMockBackend {
  std::shared_ptr<MockTradingBackend> backend;
};
struct PyMetrics {
  std::shared_ptr<TradingMetrics> metrics;
};
struct PyPlaceTool {
  std::shared_ptr<PlaceOrderTool> tool;
};
struct PyCancelTool {
  std::shared_ptr<CancelOrderTool> tool;
};
struct PyReplaceTool {
  std::shared_ptr<ReplaceOrderTool> tool;
};
struct PyQueryTool {
  std::shared_ptr<QueryPortfolioTool> tool;
};

// ---- conversions shared by the tools

[[noreturn]] void raise_tool_error(const ToolError& error) {
  if (auto* e = std::get_if<ToolError::InvalidArgs>(&error.kind)) raise_value_error(e->message);
  if (auto* e = std::get_if<ToolError::ExecutionFailed>(&error.kind)) raise_runtime_error(e->message);
  const auto& denied = std::get<ToolError::PermissionDenied>(error.kind);
  raise(PyExc_PermissionError, fmt::format("{} 不允许执行 {}", denied.actor, denied.tool_name));
}

Ref tool_result_to_py(const ToolResult& result) {
  if (!result) raise_tool_error(result.error());
  auto parsed = json::parse(*result);
  if (!parsed) raise_runtime_error(fmt::format("tool returned invalid JSON: {}", parsed.error().message()));
  return json_to_py(*parsed);
}

// Decoded and written back, so the tool sees every field with its default filled in.
template <class Record>
std::string normalised_args(PyObject* args, std::string_view tool_name) {
  const json::Value value = pythonize(args);
  auto record = json::from_value<Record>(value);
  if (!record) raise_value_error(fmt::format("invalid {} args: {}", tool_name, record.error().message()));
  return json::to_json(*record);
}

// Where a call's time goes: converting (arguments in, answer out) versus the tool itself. Sent
// as a debug record, so only someone who enabled debug logging on the trading logger pays for it.
template <class MakeText>
Ref run_tool(Tool& tool, std::string_view tool_name, MakeText make_text) {
  if (!log::enabled(log::Level::Debug, "trading")) return tool_result_to_py(tool.execute(make_text()));
  const auto elapsed_ns = [](MonotonicClock::time_point from, MonotonicClock::time_point to) {
    return fmt::format("{}", std::chrono::duration_cast<std::chrono::nanoseconds>(to - from).count());
  };
  const auto t0 = MonotonicClock::now();
  const std::string text = make_text();
  const auto t1 = MonotonicClock::now();
  const ToolResult result = tool.execute(text);
  const auto t2 = MonotonicClock::now();
  Ref answer = tool_result_to_py(result);
  const auto t3 = MonotonicClock::now();
  const log::Field fields[] = {{"tool", std::string(tool_name)},
                               {"args_ns", elapsed_ns(t0, t1)},
                               {"tool_ns", elapsed_ns(t1, t2)},
                               {"answer_ns", elapsed_ns(t2, t3)}};
  log::write(log::Level::Debug, "trading", "execute timing", fields);
  return answer;
}

std::shared_ptr<TradingMetrics> optional_metrics(Arg a) {
  if (a.is_none()) return nullptr;
  return instance_argument<PyMetrics>(a).metrics;
}

// ---- RiskLimits

std::string some(const std::optional<double>& v) { return v ? fmt::format("Some({})", diagnostic_number(*v)) : "None"; }
std::string some(const std::optional<uint32_t>& v) { return v ? fmt::format("Some({})", *v) : "None"; }
std::string some(const std::optional<std::vector<std::string>>& v) {
  return v ? fmt::format("Some({})", symbol_list_text(*v)) : "None";
}

PyRiskLimits construct_risk_limits(const Args& a) {
  RiskLimits limits;
  limits.max_order_notional = optional(a[0], to_f64);
  limits.max_daily_orders = optional(a[1], to_u32);
  limits.max_daily_cancels = optional(a[2], to_u32);
  limits.max_position_abs = optional(a[3], to_f64);
  limits.allowed_symbols = optional(a[4], to_str_list);
  return {std::move(limits)};
}

std::string risk_limits_repr(const PyRiskLimits& r) {
  const RiskLimits& l = r.value;
  return fmt::format("RiskLimits(notional={}, daily_orders={}, daily_cancels={}, position_abs={}, allowed={})",
                     some(l.max_order_notional), some(l.max_daily_orders), some(l.max_daily_cancels),
                     some(l.max_position_abs), some(l.allowed_symbols));
}

Ref permissive(const Args&) { return wrap(PyRiskLimits{RiskLimits{}}); }

PyObject* risk_limits_class() {
  return class_object<PyRiskLimits>([] {
    return ClassDef<PyRiskLimits>{
        .doc = "RiskLimits(max_order_notional=None, max_daily_orders=None, max_daily_cancels=None, "
               "max_position_abs=None, allowed_symbols=None)\n--\n\n"
               "风控限额:直接转发各字段;由关键字参数构造,不会从 dict 自动转换。",
        .construct = construct_risk_limits,
        .methods = {static_method<&permissive>("permissive()\n--\n\n默认无限制(全部 None)")},
        .properties = {},
        .repr = risk_limits_repr,
    };
  });
}

// ---- MockTradingBackend

PyMockBackend construct_backend(const Args&) { return {std::make_shared<MockTradingBackend>()}; }

Ref order_count(const PyMockBackend& b, const Args&) { return py_int(b.backend->order_count()); }

std::string backend_repr(const PyMockBackend& b) {
  return fmt::format("MockTradingBackend(orders={})", b.backend->order_count());
}

PyObject* backend_class() {
  return class_object<PyMockBackend>([] {
    return ClassDef<PyMockBackend>{
        .doc = "MockTradingBackend()\n--\n\n"
               "内存模拟交易后端:内部状态用互斥锁同步;Python 侧持有具体的 mock 类型。",
        .construct = construct_backend,
        .methods = {method<&order_count>("order_count($self)\n--\n\n已下单数量(测试用)")},
        .properties = {},
        .repr = backend_repr,
    };
  });
}

// ---- TradingMetrics

Ref samples_to_py_list(const std::vector<MetricSample>& samples) {
  static const Key name("name"), kind("kind"), value("value"), labels("labels");
  Ref list = check_new(PyList_New(static_cast<Py_ssize_t>(samples.size())));
  for (size_t i = 0; i < samples.size(); ++i) {
    const MetricSample& s = samples[i];
    DictBuilder label_dict;
    for (const auto& [k, v] : s.labels) label_dict.set(k, py_str(v));
    Ref sample = DictBuilder()
                     .set(name, py_str(s.name))
                     .set(kind, py_str(kind_label(s.kind)))
                     .set(value, py_float(s.value))
                     .set(labels, label_dict.done())
                     .done();
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), sample.release());
  }
  return list;
}

PyMetrics construct_metrics(const Args&) { return {std::make_shared<TradingMetrics>()}; }

Ref snapshot(const PyMetrics& m, const Args&) { return samples_to_py_list(m.metrics->snapshot()); }

Ref snapshot_filtered(const PyMetrics& m, const Args& a) {
  return samples_to_py_list(m.metrics->snapshot_filtered(to_str(a[0])));
}

std::string metrics_repr(const PyMetrics&) { return "TradingMetrics()"; }

PyObject* metrics_class() {
  return class_object<PyMetrics>([] {
    return ClassDef<PyMetrics>{
        .doc = "TradingMetrics()\n--\n\n交易指标收集器:三个下单类工具通过 metrics 参数接收并共享它。",
        .construct = construct_metrics,
        .methods = {method<&snapshot>("snapshot($self)\n--\n\n拿到全量 snapshot(返回 list of dict)\n\n"
                                      "每个 sample dict 包含 `name` / `kind` / `value` / `labels`。"),
                    method<&snapshot_filtered>("snapshot_filtered($self, name)\n--\n\n按 name 过滤 snapshot")},
        .properties = {},
        .repr = metrics_repr,
    };
  });
}

// ---- PlaceOrderTool

PyPlaceTool construct_place_tool(const Args& a) {
  auto backend = instance_argument<PyMockBackend>(a[0]).backend;
  const std::string mode_text = to_str(a[1]);
  const RiskLimits limits = instance_argument<PyRiskLimits>(a[2]).value;
  auto metrics = optional_metrics(a[3]);
  const auto mode = parse_safety_mode(mode_text);
  if (!mode)
    raise_value_error(fmt::format("invalid mode '{}', expected 'dry_run' / 'two_phase' / 'direct'", mode_text));
  auto tool = std::make_shared<PlaceOrderTool>(std::move(backend), *mode, limits, std::make_shared<DailyCounter>());
  if (metrics) tool->attach_metrics(std::move(metrics));
  return {std::move(tool)};
}

Ref place_execute(const PyPlaceTool& t, const Args& a) {
  return run_tool(*t.tool, "place_order", [&] { return normalised_args<PlaceOrderArgs>(a[0].object, "place_order"); });
}

Ref place_mode(const PyPlaceTool& t) { return py_str(mode_label(t.tool->mode())); }

std::string place_repr(const PyPlaceTool& t) { return fmt::format("PlaceOrderTool(mode={})", mode_label(t.tool->mode())); }

PyObject* place_tool_class() {
  return class_object<PyPlaceTool>([] {
    return ClassDef<PyPlaceTool>{
        .doc = "PlaceOrderTool(backend, mode, risk, metrics=None)\n--\n\n"
               "下单工具:对象自带任务执行器,把异步工具桥接为同步 Python 调用;并自带日计数器,"
               "多个工具可共享一个后端而各自保持单日限额。",
        .construct = construct_place_tool,
        .methods = {method<&place_execute>(
            "execute($self, args)\n--\n\n"
            "同步下单:Python dict -> 回执 dict。错误以 ValueError / RuntimeError / PermissionError 抛出,"
            "便于 agent 捕获后决定重试或改变策略。")},
        .properties = {property<&place_mode>("mode", "当前安全模式字符串(便于 LLM agent 决策)")},
        .repr = place_repr,
    };
  });
}

// ---- CancelOrderTool

PyCancelTool construct_cancel_tool(const Args& a) {
  auto backend = instance_argument<PyMockBackend>(a[0]).backend;
  const RiskLimits limits = instance_argument<PyRiskLimits>(a[1]).value;
  auto metrics = optional_metrics(a[2]);
  auto tool = std::make_shared<CancelOrderTool>(std::move(backend), limits, std::make_shared<DailyCounter>());
  if (metrics) tool->attach_metrics(std::move(metrics));
  return {std::move(tool)};
}

Ref cancel_execute(const PyCancelTool& t, const Args& a) {
  return run_tool(*t.tool, "cancel_order",
                  [&] { return normalised_args<CancelOrderArgs>(a[0].object, "cancel_order"); });
}

std::string cancel_repr(const PyCancelTool&) { return "CancelOrderTool()"; }

PyObject* cancel_tool_class() {
  return class_object<PyCancelTool>([] {
    return ClassDef<PyCancelTool>{
        .doc = "CancelOrderTool(backend, risk, metrics=None)\n--\n\n撤单工具:自带撤单日计数器和任务执行器。",
        .construct = construct_cancel_tool,
        .methods = {method<&cancel_execute>("execute($self, args)\n--\n\n同步撤单:含 \"order_id\" 的 dict -> 回执 dict。")},
        .properties = {},
        .repr = cancel_repr,
    };
  });
}

// ---- ReplaceOrderTool

PyReplaceTool construct_replace_tool(const Args& a) {
  auto backend = instance_argument<PyMockBackend>(a[0]).backend;
  const RiskLimits limits = instance_argument<PyRiskLimits>(a[1]).value;
  auto metrics = optional_metrics(a[2]);
  auto tool = std::make_shared<ReplaceOrderTool>(std::move(backend), limits);
  if (metrics) tool->attach_metrics(std::move(metrics));
  return {std::move(tool)};
}

Ref replace_execute(const PyReplaceTool& t, const Args& a) {
  return run_tool(*t.tool, "replace_order",
                  [&] { return normalised_args<ReplaceOrderArgs>(a[0].object, "replace_order"); });
}

std::string replace_repr(const PyReplaceTool&) { return "ReplaceOrderTool()"; }

PyObject* replace_tool_class() {
  return class_object<PyReplaceTool>([] {
    return ClassDef<PyReplaceTool>{
        .doc = "ReplaceOrderTool(backend, risk, metrics=None)\n--\n\n"
               "改单工具:args 为 dict,含 \"order_id\"(要修改的订单)和 \"new_req\"(完整的新请求,"
               "字段同 PlaceOrderArgs,由 parse_place_order_args 解析)。",
        .construct = construct_replace_tool,
        .methods = {method<&replace_execute>("execute($self, args)\n--\n\n同步改单:dict -> 回执 dict。")},
        .properties = {},
        .repr = replace_repr,
    };
  });
}

// ---- QueryPortfolioTool

PyQueryTool construct_query_tool(const Args& a) {
  return {std::make_shared<QueryPortfolioTool>(instance_argument<PyMockBackend>(a[0]).backend)};
}

// Not decoded here: the tool itself falls back to everything for arguments it cannot read.
Ref query_execute(const PyQueryTool& t, const Args& a) {
  return run_tool(*t.tool, "query_portfolio", [&] {
    return a[0].is_none() ? std::string("{}") : json::to_text(pythonize(a[0].object));
  });
}

std::string query_repr(const PyQueryTool&) { return "QueryPortfolioTool()"; }

PyObject* query_tool_class() {
  return class_object<PyQueryTool>([] {
    return ClassDef<PyQueryTool>{
        .doc = "QueryPortfolioTool(backend)\n--\n\n查询组合工具:自带任务执行器。",
        .construct = construct_query_tool,
        .methods = {method<&query_execute>(
            "execute($self, args=None)\n--\n\n"
            "查询组合:None(默认)传入 \"{}\",返回完整组合;{\"symbol\": \"BTC-USDT\"} 只按 symbol 过滤持仓,"
            "不影响余额。")},
        .properties = {},
        .repr = query_repr,
    };
  });
}

}  // namespace

void register_trading_module(PyObject* module) {
  install_python_log_sink();
  add_attribute(module, "RiskLimits", Ref::borrow(risk_limits_class()));
  add_attribute(module, "MockTradingBackend", Ref::borrow(backend_class()));
  add_attribute(module, "PlaceOrderTool", Ref::borrow(place_tool_class()));
  add_attribute(module, "QueryPortfolioTool", Ref::borrow(query_tool_class()));
  add_attribute(module, "CancelOrderTool", Ref::borrow(cancel_tool_class()));
  add_attribute(module, "ReplaceOrderTool", Ref::borrow(replace_tool_class()));
  add_attribute(module, "TradingMetrics", Ref::borrow(metrics_class()));
}

}  // namespace vesk::py
