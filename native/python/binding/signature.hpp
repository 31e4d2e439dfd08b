#pragma once
// Callables are declared by their text signature, the first line of their docstring
// ("split($self, n_samples)\n--\n\n..."). The same text drives argument binding and, as the
// docstring, gives Python `__text_signature__`, `inspect.signature` and `help()`.
#include <array>
#include <string>
#include <vector>

#include "binding/ref.hpp"

namespace vesk::py {

constexpr size_t kMaxParameters = 8;

struct Parameter {
  std::string name;
  Ref interned_name;
  Ref default_value;  // empty when the parameter is required
};

struct Signature {
  std::string name;  // callable name, e.g. "split"
  std::vector<Parameter> parameters;  // without $self
};

// Parses the first line of `doc`; defaults may be None, True, False, numbers or quoted texts.
Signature parse_signature(const char* doc);

// One bound argument: the object (never null once bound) and its parameter name for messages.
struct Arg {
  PyObject* object;
  const char* name;
  bool is_none() const { return object == Py_None; }
};

class Args {
 public:
  Arg operator[](size_t i) const { return {objects_[i], names_[i]}; }
  size_t size() const { return count_; }

 private:
  friend Args bind_fastcall(const Signature&, PyObject* const*, Py_ssize_t, PyObject*);
  friend Args bind_tuple(const Signature&, PyObject*, PyObject*);
  std::array<PyObject*, kMaxParameters> objects_{};
  std::array<const char*, kMaxParameters> names_{};
  size_t count_ = 0;
};

// Binds vectorcall arguments; raises TypeError in the interpreter's wording on a missing,
// duplicated or unexpected argument. Bound objects are borrowed from the call.
Args bind_fastcall(const Signature& sig, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames);
// Same for tuple/dict calls (type construction).
Args bind_tuple(const Signature& sig, PyObject* args, PyObject* kwargs);

}  // namespace vesk::py
