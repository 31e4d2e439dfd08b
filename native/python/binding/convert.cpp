#include "binding/convert.hpp"

#include <fmt/format.h>

namespace vesk::py {
namespace {

// Re-raises a pending TypeError with the argument's name in front; other errors pass through.
[[noreturn]] void rethrow_for(Arg a) {
  if (PyErr_ExceptionMatches(PyExc_TypeError)) {
    PyObject *type, *value, *traceback;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref t = Ref::steal(type), v = Ref::steal(value), tb = Ref::steal(traceback);
    Ref text = Ref::steal(PyObject_Str(v.get()));
    const char* utf8 = text ? PyUnicode_AsUTF8(text.get()) : nullptr;
    PyErr_Clear();
    argument_error(a, utf8 ? utf8 : "conversion failed");
  }
  throw PythonError{};
}

const char* type_name(PyObject* o) { return Py_TYPE(o)->tp_name; }

}  // namespace

void argument_error(Arg a, std::string_view message) {
  raise_type_error(fmt::format("argument '{}': {}", a.name, message));
}

uint64_t to_u64(Arg a) {
  if (PyLong_Check(a.object)) {
    const unsigned long long v = PyLong_AsUnsignedLongLong(a.object);
    if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) rethrow_for(a);
    return v;
  }
  Ref index = Ref::steal(PyNumber_Index(a.object));
  if (!index) rethrow_for(a);
  const unsigned long long v = PyLong_AsUnsignedLongLong(index.get());
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) rethrow_for(a);
  return v;
}

uint32_t to_u32(Arg a) {
  const uint64_t v = to_u64(a);
  if (v > UINT32_MAX) {
    PyErr_SetString(PyExc_OverflowError, "Python int too large to convert to C unsigned int");
    throw PythonError{};
  }
  return static_cast<uint32_t>(v);
}

int64_t to_i64(Arg a) {
  Ref index = Ref::steal(PyNumber_Index(a.object));
  if (!index) rethrow_for(a);
  const long long v = PyLong_AsLongLong(index.get());
  if (v == -1 && PyErr_Occurred()) rethrow_for(a);
  return v;
}

double to_f64(Arg a) {
  if (PyFloat_CheckExact(a.object)) return PyFloat_AS_DOUBLE(a.object);
  if (PyUnicode_Check(a.object)) argument_error(a, fmt::format("must be real number, not {}", type_name(a.object)));
  const double v = PyFloat_AsDouble(a.object);
  if (v == -1.0 && PyErr_Occurred()) rethrow_for(a);
  return v;
}

bool to_bool(Arg a) {
  if (!PyBool_Check(a.object)) argument_error(a, fmt::format("'{}' object is not an instance of 'bool'", type_name(a.object)));
  return a.object == Py_True;
}

std::string to_str(Arg a) {
  if (!PyUnicode_Check(a.object)) argument_error(a, fmt::format("'{}' object cannot be converted to 'PyString'", type_name(a.object)));
  Py_ssize_t size = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(a.object, &size);
  if (!utf8) rethrow_for(a);
  return std::string(utf8, static_cast<size_t>(size));
}

std::string to_bytes(Arg a) {
  if (!PyBytes_Check(a.object)) argument_error(a, fmt::format("'{}' object cannot be converted to 'PyBytes'", type_name(a.object)));
  return std::string(PyBytes_AS_STRING(a.object), static_cast<size_t>(PyBytes_GET_SIZE(a.object)));
}

Ref sequence_items(Arg a) {
  // A str is refused rather than split into characters; bytes are a sequence of numbers.
  if (PyUnicode_Check(a.object)) argument_error(a, fmt::format("'{}' object cannot be converted to 'Sequence'", type_name(a.object)));
  if (PyTuple_CheckExact(a.object)) return Ref::borrow(a.object);
  // A list is copied: converting one item can run Python code that shrinks or clears it.
  if (PyList_CheckExact(a.object)) return check_new(PyList_AsTuple(a.object));
  if (!PySequence_Check(a.object)) argument_error(a, fmt::format("'{}' object cannot be converted to 'Sequence'", type_name(a.object)));
  Ref items = Ref::steal(PySequence_Fast(a.object, "expected a sequence"));
  if (!items) rethrow_for(a);
  return items;
}

// Items of a `plain` kind convert without running Python code, so a list holding only them cannot
// change while it is read: it is read in place. From the first other item on, the rest is read
// from a snapshot.
template <class T, class Convert, class Plain>
static std::vector<T> convert_items(Arg a, Convert convert, Plain plain) {
  std::vector<T> out;
  Py_ssize_t start = 0;
  if (PyList_CheckExact(a.object)) {
    const Py_ssize_t n = PyList_GET_SIZE(a.object);
    out.reserve(static_cast<size_t>(n));
    for (; start < n && plain(PyList_GET_ITEM(a.object, start)); ++start)
      out.push_back(convert(Arg{PyList_GET_ITEM(a.object, start), a.name}));
    if (start == n) return out;
  }
  Ref items = sequence_items(a);
  const Py_ssize_t n = PySequence_Fast_GET_SIZE(items.get());
  PyObject** raw = PySequence_Fast_ITEMS(items.get());
  out.reserve(static_cast<size_t>(n));
  for (Py_ssize_t i = start; i < n; ++i) out.push_back(convert(Arg{raw[i], a.name}));
  return out;
}

std::vector<uint64_t> to_u64_list(Arg a) {
  return convert_items<uint64_t>(a, to_u64, [](PyObject* o) { return PyLong_CheckExact(o); });
}
std::vector<double> to_f64_list(Arg a) {
  return convert_items<double>(a, to_f64, [](PyObject* o) { return PyFloat_CheckExact(o) || PyLong_CheckExact(o); });
}
std::vector<std::string> to_str_list(Arg a) {
  return convert_items<std::string>(a, to_str, [](PyObject* o) { return PyUnicode_CheckExact(o); });
}

PyObject* require_dict(Arg a) {
  if (!PyDict_Check(a.object)) argument_error(a, fmt::format("'{}' object cannot be converted to 'PyDict'", type_name(a.object)));
  return a.object;
}

PyObject* require_list(Arg a) {
  if (!PyList_Check(a.object)) argument_error(a, fmt::format("'{}' object cannot be converted to 'PyList'", type_name(a.object)));
  return a.object;
}

Ref py_str(std::string_view v) {
  return check_new(PyUnicode_FromStringAndSize(v.data(), static_cast<Py_ssize_t>(v.size())));
}

template <class T, class Make>
static Ref build_list(const std::vector<T>& values, Make make) {
  Ref list = check_new(PyList_New(static_cast<Py_ssize_t>(values.size())));
  for (size_t i = 0; i < values.size(); ++i) PyList_SET_ITEM(list.get(), static_cast<Py_ssize_t>(i), make(values[i]).release());
  return list;
}

Ref py_list(const std::vector<uint64_t>& values) { return build_list(values, [](uint64_t v) { return py_int(v); }); }
Ref py_list(const std::vector<double>& values) { return build_list(values, [](double v) { return py_float(v); }); }
Ref py_list(const std::vector<std::string>& values) { return build_list(values, [](const std::string& v) { return py_str(v); }); }

Ref py_tuple(std::initializer_list<Ref> items) {
  Ref tuple = check_new(PyTuple_New(static_cast<Py_ssize_t>(items.size())));
  Py_ssize_t i = 0;
  for (const Ref& item : items) PyTuple_SET_ITEM(tuple.get(), i++, Ref(item).release());
  return tuple;
}

PyObject* Key::get() const {
  if (!object_) object_ = check(PyUnicode_InternFromString(text_));  // kept for the process
  return object_;
}

PyObject* dict_item(PyObject* dict, const Key& key) {
  PyObject* value = PyDict_GetItemWithError(dict, key.get());
  if (!value && PyErr_Occurred()) throw PythonError{};
  return value;
}

DictBuilder& DictBuilder::set(std::string_view key, Ref value) {
  Ref k = py_str(key);
  check_status(PyDict_SetItem(dict_.get(), k.get(), value.get()));
  return *this;
}

}  // namespace vesk::py
