// Python face of walk-forward validation: _native.walk_forward.
#include <fmt/format.h>

#include "binding/class.hpp"
#include "modules.hpp"
#include "walk_forward/evaluation.hpp"
#include "walk_forward/purge.hpp"
#include "walk_forward/split.hpp"

namespace vesk::py {
namespace {

using namespace vesk::walk_forward;

// A runner keeps one validated configuration and never changes it.
struct Runner {
  WalkForwardConfig config;
};

Ref dumps(PyObject* config) {
  Ref json = check_new(PyImport_ImportModule("json"));
  Ref text = check_new(PyObject_CallMethod(json.get(), "dumps", "O", config));
  if (!PyUnicode_Check(text.get())) raise_type_error("json.dumps did not return a str");
  return text;
}

Runner construct_runner(const Args& a) {
  PyObject* config = require_dict(a[0]);
  Ref text = dumps(config);
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(text.get(), &size);
  if (!utf8) throw PythonError{};
  const auto parsed = read_config(std::string_view(utf8, static_cast<size_t>(size)));
  if (!parsed) raise_value_error("invalid config: " + parsed.error().message());
  if (const auto valid = parsed->validate(); !valid) raise_value_error(valid.error());
  return Runner{*parsed};
}

std::string runner_repr(const Runner& r) {
  const WalkForwardConfig& c = r.config;
  return fmt::format("WalkForwardRunner(train={}, test={}, step={}, type={})", c.train_size, c.test_size, c.step_size,
                     window_type_label(c.window_type));
}

Ref split(const Runner& r, const Args& a) {
  static const Key fold_id("fold_id"), train_start("train_start"), train_end("train_end"),
      validation_start("validation_start"), validation_end("validation_end"), test_start("test_start"),
      test_end("test_end");
  const auto folds = TimeSeriesSplitter(r.config).split(to_u64(a[0]));
  Ref list = check_new(PyList_New(static_cast<Py_ssize_t>(folds.size())));
  for (size_t i = 0; i < folds.size(); ++i) {
    const FoldSplit& f = folds[i];
    Ref fold = DictBuilder()
                   .set(fold_id, py_int(f.fold_id))
                   .set(train_start, py_int(f.train_start))
                   .set(train_end, py_int(f.train_end))
                   .set(validation_start, py_int(f.validation_start))
                   .set(validation_end, py_int(f.validation_end))
                   .set(test_start, py_int(f.test_start))
                   .set(test_end, py_int(f.test_end))
                   .done();
    PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), fold.release());
  }
  return list;
}

PyObject* runner_class() {
  return class_object<Runner>([] {
    return ClassDef<Runner>{
        .doc = "WalkForwardRunner(config)\n--\n\n"
               "Walk-forward runner: validates a configuration dict once, then splits series of any length "
               "(native type exposed through the binding layer).",
        .construct = construct_runner,
        .methods = {method<&split>("split($self, n_samples)\n--\n\n分割 n_samples 个数据点")},
        .repr = runner_repr,
    };
  });
}

// Every value of a fold dict must convert to float, including keys that are not used. Each
// value is converted once, from a snapshot of the items, so a conversion hook that changes the
// dict cannot pull a value out from under us.
FoldResult fold_from_dict(PyObject* item, const char* arg_name) {
  if (!PyDict_Check(item)) argument_error({item, arg_name}, fmt::format("'{}' object cannot be converted to 'PyDict'", Py_TYPE(item)->tp_name));
  Ref pairs = check_new(PyDict_Items(item));
  FoldResult fold;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(pairs.get()); ++i) {
    PyObject* pair = PyList_GET_ITEM(pairs.get(), i);
    PyObject* key = PyTuple_GET_ITEM(pair, 0);
    if (!PyUnicode_Check(key)) argument_error({key, arg_name}, fmt::format("'{}' object cannot be converted to 'PyString'", Py_TYPE(key)->tp_name));
    const double value = to_f64({PyTuple_GET_ITEM(pair, 1), arg_name});
    if (PyUnicode_CompareWithASCIIString(key, "train_return") == 0) fold.train_return = value;
    else if (PyUnicode_CompareWithASCIIString(key, "test_return") == 0) fold.test_return = value;
    else if (PyUnicode_CompareWithASCIIString(key, "test_sharpe") == 0) fold.test_sharpe = value;
    else if (PyUnicode_CompareWithASCIIString(key, "test_max_drawdown") == 0) fold.test_max_drawdown = value;
  }
  return fold;
}

Ref py_aggregate_folds(const Args& a) {
  Ref items = sequence_items(a[0]);
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(items.get());
  std::vector<FoldResult> folds;
  folds.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) folds.push_back(fold_from_dict(PySequence_Fast_GET_ITEM(items.get(), i), a[0].name));
  const AggregateMetrics m = aggregate_folds(folds);
  return DictBuilder()
      .set("mean_oos_return", py_float(m.mean_oos_return))
      .set("std_oos_return", py_float(m.std_oos_return))
      .set("mean_oos_sharpe", py_float(m.mean_oos_sharpe))
      .set("std_oos_sharpe", py_float(m.std_oos_sharpe))
      .set("median_oos_return", py_float(m.median_oos_return))
      .set("worst_fold_return", py_float(m.worst_fold_return))
      .set("best_fold_return", py_float(m.best_fold_return))
      .set("pct_profitable_folds", py_float(m.pct_profitable_folds))
      .set("sharpe_of_sharpe", py_float(m.sharpe_of_sharpe))
      .set("return_autocorrelation", py_float(m.return_autocorrelation))
      .set("deflated_sharpe", py_float(m.deflated_sharpe))
      .set("probability_of_loss", py_float(m.probability_of_loss))
      .done();
}

Ref py_deflated_sharpe(const Args& a) {
  return py_float(deflated_sharpe_ratio(to_f64(a[0]), to_u64(a[1]), to_f64(a[2])));
}

Ref py_detect_leakage(const Args& a) {
  const LeakageReport report = detect_leakage(to_u64_list(a[0]), to_u64_list(a[1]), to_u64(a[2]));
  Ref pairs = check_new(PyList_New(static_cast<Py_ssize_t>(report.pairs.size())));
  for (size_t i = 0; i < report.pairs.size(); ++i)
    PyList_SET_ITEM(pairs.get(), static_cast<Py_ssize_t>(i),
                    py_tuple({py_int(report.pairs[i].first), py_int(report.pairs[i].second)}).release());
  return py_tuple({py_bool(report.leaked), std::move(pairs)});
}

Ref py_purge_overlapping_labels(const Args& a) {
  return py_list(purge_overlapping_labels(to_u64_list(a[0]), to_u64_list(a[1]), to_u64(a[2])));
}

Ref py_embargo_indices(const Args& a) { return py_list(embargo_indices(to_u64_list(a[0]), to_f64(a[1]), to_u64(a[2]))); }

}  // namespace

void register_walk_forward_module(PyObject* module) {
  add_attribute(module, "WalkForwardRunner", Ref::borrow(runner_class()));
  add_function(module, function<&py_aggregate_folds>(
                           "py_aggregate_folds(folds)\n--\n\n便捷函数：聚合 fold 结果（接收 Python dict 列表）"));
  add_function(module, function<&py_deflated_sharpe>(
                           "py_deflated_sharpe(observed_sharpe, n_trials, sharpe_std)\n--\n\n便捷函数：Deflated Sharpe Ratio"));
  add_function(module, function<&py_detect_leakage>(
                           "py_detect_leakage(train_idx, test_idx, feature_lag)\n--\n\n便捷函数：泄漏检测"));
  add_function(module, function<&py_purge_overlapping_labels>(
                           "py_purge_overlapping_labels(train_idx, test_idx, label_horizon)\n--\n\n便捷函数：purge"));
  add_function(module, function<&py_embargo_indices>("py_embargo_indices(test_idx, embargo_pct, n_total)\n--\n\n便捷函数：embargo"));
  add_string(module, "__version__", "0.1.1");
}

}  // namespace vesk::py
