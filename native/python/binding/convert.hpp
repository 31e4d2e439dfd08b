#pragma once
// Python -> C++ converters for bound arguments, and C++ -> Python builders.
// A failed conversion raises TypeError "argument 'NAME': <the conversion's message>";
// an integer out of the declared range raises the interpreter's OverflowError unwrapped.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/error.hpp"
#include "binding/signature.hpp"

namespace vesk::py {

uint64_t to_u64(Arg a);
uint32_t to_u32(Arg a);
int64_t to_i64(Arg a);
double to_f64(Arg a);  // float, int, or anything with __float__ / __index__; never str
bool to_bool(Arg a);   // bool only
std::string to_str(Arg a);
std::string to_bytes(Arg a);
std::vector<uint64_t> to_u64_list(Arg a);  // any sequence but str
std::vector<double> to_f64_list(Arg a);
std::vector<std::string> to_str_list(Arg a);

// Optional variants: None gives nullopt.
template <class F>
auto optional(Arg a, F convert) -> std::optional<decltype(convert(a))> {
  if (a.is_none()) return std::nullopt;
  return convert(a);
}

// TypeError unless the argument is a dict (or subclass) / list (or subclass); returns it borrowed.
PyObject* require_dict(Arg a);
PyObject* require_list(Arg a);
// A sequence other than str, as a list or tuple for fast item access that Python code
// run by the item conversions cannot change.
Ref sequence_items(Arg a);

// Raises TypeError "argument 'NAME': <message>".
[[noreturn]] void argument_error(Arg a, std::string_view message);

// Builders of new references.
inline Ref py_none() { return Ref::borrow(Py_None); }
inline Ref py_bool(bool v) { return Ref::borrow(v ? Py_True : Py_False); }
inline Ref py_int(uint64_t v) { return check_new(PyLong_FromUnsignedLongLong(v)); }
inline Ref py_int(int64_t v) { return check_new(PyLong_FromLongLong(v)); }
inline Ref py_float(double v) { return check_new(PyFloat_FromDouble(v)); }
Ref py_str(std::string_view v);
Ref py_list(const std::vector<uint64_t>& values);
Ref py_list(const std::vector<double>& values);
Ref py_list(const std::vector<std::string>& values);
Ref py_tuple(std::initializer_list<Ref> items);

// An interned str created once per process and kept for good, for dict keys on hot paths.
class Key {
 public:
  constexpr explicit Key(const char* text) : text_(text) {}
  PyObject* get() const;
  const char* text() const { return text_; }

 private:
  const char* text_;
  mutable PyObject* object_ = nullptr;
};

// The value under `key` in a dict, borrowed, or nullptr when absent.
PyObject* dict_item(PyObject* dict, const Key& key);

// Builds a dict keeping insertion order.
class DictBuilder {
 public:
  DictBuilder() : dict_(check_new(PyDict_New())) {}
  DictBuilder& set(const Key& key, Ref value) {
    check_status(PyDict_SetItem(dict_.get(), key.get(), value.get()));
    return *this;
  }
  DictBuilder& set(std::string_view key, Ref value);
  Ref done() { return std::move(dict_); }

 private:
  Ref dict_;
};

}  // namespace vesk::py
