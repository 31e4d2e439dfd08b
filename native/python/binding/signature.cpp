#include "binding/signature.hpp"

#include <charconv>
#include <fmt/format.h>
#include <stdexcept>
#include <string_view>

#include "binding/error.hpp"

namespace vesk::py {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  return s;
}

Ref default_from_literal(std::string_view literal) {
  if (literal == "None") return Ref::borrow(Py_None);
  if (literal == "True") return Ref::borrow(Py_True);
  if (literal == "False") return Ref::borrow(Py_False);
  if (literal.size() >= 2 && (literal.front() == '"' || literal.front() == '\''))
    return check_new(PyUnicode_FromStringAndSize(literal.data() + 1, static_cast<Py_ssize_t>(literal.size() - 2)));
  const std::string text(literal);
  if (text.find_first_of(".eE") != std::string::npos) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);  // no locale: "0.5" stays 0.5
    return check_new(PyFloat_FromDouble(value));
  }
  return check_new(PyLong_FromString(text.c_str(), nullptr, 10));
}

[[noreturn]] void too_many_positional(const Signature& sig, Py_ssize_t given) {
  size_t required = 0;
  for (const auto& p : sig.parameters) required += p.default_value ? 0 : 1;
  const size_t total = sig.parameters.size();
  const std::string takes = required == total ? fmt::format("{}", total) : fmt::format("from {} to {}", required, total);
  raise_type_error(fmt::format("{}() takes {} positional argument{} but {} {} given", sig.name, takes,
                               total == 1 && required == total ? "" : "s", given, given == 1 ? "was" : "were"));
}

[[noreturn]] void missing_arguments(const Signature& sig, const std::vector<std::string>& missing) {
  std::string names;
  for (size_t i = 0; i < missing.size(); ++i) {
    if (i > 0) names += missing.size() == 2 ? " and " : (i + 1 == missing.size() ? ", and " : ", ");
    names += "'" + missing[i] + "'";
  }
  raise_type_error(fmt::format("{}() missing {} required positional argument{}: {}", sig.name, missing.size(),
                               missing.size() == 1 ? "" : "s", names));
}

size_t parameter_index(const Signature& sig, PyObject* keyword) {
  for (size_t i = 0; i < sig.parameters.size(); ++i)
    if (sig.parameters[i].interned_name.get() == keyword) return i;
  for (size_t i = 0; i < sig.parameters.size(); ++i)
    if (PyUnicode_Compare(sig.parameters[i].interned_name.get(), keyword) == 0) return i;
  return sig.parameters.size();
}

void place_keyword(const Signature& sig, std::array<PyObject*, kMaxParameters>& slots, PyObject* keyword,
                   PyObject* value) {
  const size_t i = parameter_index(sig, keyword);
  if (i == sig.parameters.size()) {
    // %U, not UTF-8: a keyword may hold lone surrogates.
    PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", sig.name.c_str(), keyword);
    throw PythonError{};
  }
  if (slots[i]) raise_type_error(fmt::format("{}() got multiple values for argument '{}'", sig.name, sig.parameters[i].name));
  slots[i] = value;
}

void fill_defaults(const Signature& sig, std::array<PyObject*, kMaxParameters>& slots) {
  std::vector<std::string> missing;
  for (size_t i = 0; i < sig.parameters.size(); ++i) {
    if (slots[i]) continue;
    if (sig.parameters[i].default_value) slots[i] = sig.parameters[i].default_value.get();
    else missing.push_back(sig.parameters[i].name);
  }
  if (!missing.empty()) missing_arguments(sig, missing);
}

}  // namespace

Signature parse_signature(const char* doc) {
  const std::string_view text(doc);
  const size_t open = text.find('(');
  const size_t close = text.find(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open)
    throw std::logic_error(fmt::format("docstring without a text signature: {}", text.substr(0, 60)));
  Signature sig;
  sig.name = std::string(text.substr(0, open));
  std::string_view list = text.substr(open + 1, close - open - 1);
  while (!list.empty()) {
    const size_t comma = list.find(',');
    const std::string_view item = trim(list.substr(0, comma));
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
    if (item.empty() || item == "$self" || item == "$module" || item == "/" || item == "*") continue;
    Parameter p;
    const size_t eq = item.find('=');
    p.name = std::string(trim(item.substr(0, eq)));
    if (eq != std::string_view::npos) p.default_value = default_from_literal(trim(item.substr(eq + 1)));
    p.interned_name = check_new(PyUnicode_InternFromString(p.name.c_str()));
    sig.parameters.push_back(std::move(p));
  }
  if (sig.parameters.size() > kMaxParameters) throw std::logic_error("too many parameters in " + sig.name);
  return sig;
}

Args bind_fastcall(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  Args out;
  out.count_ = sig.parameters.size();
  for (size_t i = 0; i < out.count_; ++i) out.names_[i] = sig.parameters[i].name.c_str();
  if (static_cast<size_t>(nargs) > out.count_) too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out.objects_[static_cast<size_t>(i)] = args[i];
  if (kwnames) {
    const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
    for (Py_ssize_t k = 0; k < nkw; ++k) place_keyword(sig, out.objects_, PyTuple_GET_ITEM(kwnames, k), args[nargs + k]);
  }
  if (static_cast<size_t>(nargs) < out.count_ || kwnames) fill_defaults(sig, out.objects_);
  return out;
}

Args bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs) {
  Args out;
  out.count_ = sig.parameters.size();
  for (size_t i = 0; i < out.count_; ++i) out.names_[i] = sig.parameters[i].name.c_str();
  const Py_ssize_t nargs = args ? PyTuple_GET_SIZE(args) : 0;
  if (static_cast<size_t>(nargs) > out.count_) too_many_positional(sig, nargs);
  for (Py_ssize_t i = 0; i < nargs; ++i) out.objects_[static_cast<size_t>(i)] = PyTuple_GET_ITEM(args, i);
  if (kwargs) {
    Py_ssize_t pos = 0;
    PyObject *key, *value;
    while (PyDict_Next(kwargs, &pos, &key, &value)) place_keyword(sig, out.objects_, key, value);
  }
  fill_defaults(sig, out.objects_);
  return out;
}

}  // namespace vesk::py
