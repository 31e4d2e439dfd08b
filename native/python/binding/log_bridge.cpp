#include "binding/log_bridge.hpp"

#include <fmt/format.h>
#include <map>
#include <mutex>
#include <string>

#include "binding/convert.hpp"
#include "binding/error.hpp"
#include "core/log.hpp"

namespace vesk::py {
namespace {

int python_level(log::Level level) {
  switch (level) {
    case log::Level::Error: return 40;
    case log::Level::Warn: return 30;
    case log::Level::Info: return 20;
    case log::Level::Debug: return 10;
    case log::Level::Trace: return 5;
  }
  return 20;
}

bool interpreter_usable() {
#if PY_VERSION_HEX >= 0x030D0000
  return Py_IsInitialized() && !Py_IsFinalizing();
#else
  return Py_IsInitialized() && !_Py_IsFinalizing();
#endif
}

// Holds the GIL for a sink call from any thread and leaves the caller's pending exception,
// if any, exactly as it was.
class PythonScope {
 public:
  PythonScope() : gil_(PyGILState_Ensure()) {
#if PY_VERSION_HEX >= 0x030C0000
    pending_ = PyErr_GetRaisedException();
#else
    PyErr_Fetch(&type_, &pending_, &traceback_);
#endif
  }
  ~PythonScope() {
    PyErr_Clear();
#if PY_VERSION_HEX >= 0x030C0000
    PyErr_SetRaisedException(pending_);
#else
    PyErr_Restore(type_, pending_, traceback_);
#endif
    PyGILState_Release(gil_);
  }
  PythonScope(const PythonScope&) = delete;
  PythonScope& operator=(const PythonScope&) = delete;

 private:
  PyGILState_STATE gil_;
  PyObject* pending_ = nullptr;  // the caller's exception, or null
#if PY_VERSION_HEX < 0x030C0000
  PyObject* type_ = nullptr;
  PyObject* traceback_ = nullptr;
#endif
};

class PythonLogSink final : public log::Sink {
 public:
  bool enabled(log::Level level, std::string_view target) const noexcept override {
    if (!interpreter_usable()) return false;
    PythonScope scope;
    try {
      Ref on = check_new(PyObject_CallMethod(logger(target), "isEnabledFor", "i", python_level(level)));
      return PyObject_IsTrue(on.get()) == 1;
    } catch (...) {
      return false;
    }
  }

  void write(const log::Record& record) noexcept override {
    if (!interpreter_usable()) return;
    PythonScope scope;
    try {
      DictBuilder fields;
      for (const auto& f : record.fields) fields.set(f.key, py_str(f.value));
      Ref extra = DictBuilder().set("fields", fields.done()).done();
      Ref message = py_str(record.message);
      Ref log_method = check_new(PyObject_GetAttrString(logger(record.target), "log"));
      Ref args = py_tuple({py_int(static_cast<int64_t>(python_level(record.level))), std::move(message)});
      Ref kwargs = DictBuilder().set("extra", std::move(extra)).done();
      check_new(PyObject_Call(log_method.get(), args.get(), kwargs.get()));
    } catch (...) {
      // A failing handler must not turn a log line into a failed trading call.
    }
  }

 private:
  // Loggers live as long as the logging module; the references are kept for the process and
  // never released, since that could happen after the interpreter is gone.
  // The mutex is never held across a Python call: one that blocks may release the GIL to a
  // thread that then waits for the mutex.
  PyObject* logger(std::string_view target) const {
    {
      std::lock_guard lock(mutex_);
      if (auto it = loggers_.find(target); it != loggers_.end()) return it->second;
    }
    Ref logging = check_new(PyImport_ImportModule("logging"));
    const std::string name = fmt::format("vesk_quant.{}", target);
    PyObject* found = check(PyObject_CallMethod(logging.get(), "getLogger", "s", name.c_str()));
    std::lock_guard lock(mutex_);
    // getLogger returns one object per name, so a concurrent insertion holds the same logger.
    return loggers_.try_emplace(std::string(target), found).first->second;
  }

  mutable std::mutex mutex_;
  mutable std::map<std::string, PyObject*, std::less<>> loggers_;  // guarded by mutex_
};

void add_null_handler() {
  Ref logging = check_new(PyImport_ImportModule("logging"));
  Ref root = check_new(PyObject_CallMethod(logging.get(), "getLogger", "s", "vesk_quant"));
  Ref null_class = check_new(PyObject_GetAttrString(logging.get(), "NullHandler"));
  Ref handlers = check_new(PyObject_GetAttrString(root.get(), "handlers"));
  Ref items = check_new(PySequence_Fast(handlers.get(), "handlers"));
  for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(items.get()); ++i) {
    const int is_null = PyObject_IsInstance(PySequence_Fast_GET_ITEM(items.get(), i), null_class.get());
    check_status(is_null);
    if (is_null) return;
  }
  Ref handler = check_new(PyObject_CallNoArgs(null_class.get()));
  check_new(PyObject_CallMethod(root.get(), "addHandler", "O", handler.get()));
}

}  // namespace

void install_python_log_sink() {
  static std::once_flag installed;
  add_null_handler();
  std::call_once(installed, [] { log::install_sink(std::make_shared<PythonLogSink>()); });
}

}  // namespace vesk::py
