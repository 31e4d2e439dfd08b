#include "binding/json_convert.hpp"

#include <cmath>
#include <fmt/format.h>

#include "binding/convert.hpp"
#include "binding/error.hpp"

namespace vesk::py {
namespace {

// Deep or self-referential containers end in RecursionError instead of exhausting the stack.
class RecursionGuard {
 public:
  explicit RecursionGuard(const char* where) { check_status(Py_EnterRecursiveCall(where)); }
  ~RecursionGuard() { Py_LeaveRecursiveCall(); }
  RecursionGuard(const RecursionGuard&) = delete;
  RecursionGuard& operator=(const RecursionGuard&) = delete;
};

json::Value finite(double v) {
  if (!std::isfinite(v)) raise_value_error("NaN/Inf not allowed");
  return json::Value(v);
}

json::Value from_integer(PyObject* object) {
  Ref index = check_new(PyNumber_Index(object));
  int overflow = 0;
  const long long v = PyLong_AsLongLongAndOverflow(index.get(), &overflow);
  if (v == -1 && PyErr_Occurred()) throw PythonError{};
  if (!overflow) return json::Value(static_cast<int64_t>(v));
  if (overflow > 0) {
    const unsigned long long u = PyLong_AsUnsignedLongLong(index.get());
    if (!(u == static_cast<unsigned long long>(-1) && PyErr_Occurred())) return json::Value(static_cast<uint64_t>(u));
    PyErr_Clear();
  }
  const double d = PyLong_AsDouble(index.get());  // OverflowError beyond the float range
  if (d == -1.0 && PyErr_Occurred()) throw PythonError{};
  return finite(d);
}

bool has_float_conversion(PyObject* object) {
  const PyNumberMethods* number = Py_TYPE(object)->tp_as_number;
  return PyFloat_Check(object) || (number && number->nb_float);
}

json::Value from_list(PyObject* list) {
  RecursionGuard guard(" while converting a list to JSON");
  json::Array items;
  items.reserve(static_cast<size_t>(PyList_GET_SIZE(list)));
  // Indexing each time: a conversion hook could shrink the list while we walk it.
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(list); ++i) {
    Ref item = Ref::borrow(PyList_GET_ITEM(list, i));
    items.push_back(pythonize(item.get()));
  }
  return json::Value(std::move(items));
}

json::Value from_dict(PyObject* dict) {
  RecursionGuard guard(" while converting a dict to JSON");
  Ref items = check_new(PyDict_Items(dict));  // a snapshot: hooks cannot change what we walk
  json::Object members;
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(items.get()); ++i) {
    PyObject* pair = PyList_GET_ITEM(items.get(), i);
    PyObject* key = PyTuple_GET_ITEM(pair, 0);
    if (!PyUnicode_Check(key))
      raise_type_error(fmt::format("'{}' object cannot be converted to 'PyString'", Py_TYPE(key)->tp_name));
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(key, &size);
    if (!utf8) throw PythonError{};
    members.insert_or_assign(std::string(utf8, static_cast<size_t>(size)), pythonize(PyTuple_GET_ITEM(pair, 1)));
  }
  return json::Value(std::move(members));
}

}  // namespace

json::Value pythonize(PyObject* object) {
  if (object == Py_None) return json::Value(nullptr);
  if (PyUnicode_Check(object)) {
    Py_ssize_t size = 0;
    const char* utf8 = PyUnicode_AsUTF8AndSize(object, &size);
    if (!utf8) throw PythonError{};
    return json::Value(std::string(utf8, static_cast<size_t>(size)));
  }
  if (PyBool_Check(object)) return json::Value(object == Py_True);
  if (PyIndex_Check(object)) return from_integer(object);
  if (has_float_conversion(object)) {
    const double v = PyFloat_AsDouble(object);
    if (v == -1.0 && PyErr_Occurred()) throw PythonError{};
    return finite(v);
  }
  if (PyList_Check(object)) return from_list(object);
  if (PyDict_Check(object)) return from_dict(object);
  raise_type_error(fmt::format("unsupported type: {}", Py_TYPE(object)->tp_name));
}

Ref json_to_py(const json::Value& value) {
  return std::visit(
      [](const auto& v) -> Ref {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::nullptr_t>) return py_none();
        else if constexpr (std::is_same_v<T, bool>) return py_bool(v);
        else if constexpr (std::is_same_v<T, int64_t> || std::is_same_v<T, uint64_t>) return py_int(v);
        else if constexpr (std::is_same_v<T, double>) return py_float(v);
        else if constexpr (std::is_same_v<T, std::string>) return py_str(v);
        else if constexpr (std::is_same_v<T, json::Array>) {
          Ref list = check_new(PyList_New(static_cast<Py_ssize_t>(v.size())));
          for (size_t i = 0; i < v.size(); ++i)
            PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), json_to_py(v[i]).release());
          return list;
        } else {
          DictBuilder dict;
          for (const auto& [key, member] : v) dict.set(key, json_to_py(member));
          return dict.done();
        }
      },
      value.data);
}

}  // namespace vesk::py
