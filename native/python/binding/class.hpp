#pragma once
// Classes as heap types: an instance is the object header, a borrow flag and the C++ value,
// constructed in place by tp_new and destroyed by tp_dealloc.
//
//   PyObject* runner_class() {
//     return class_object<Runner>([] {
//       return ClassDef<Runner>{
//           .doc = "WalkForwardRunner(config)\n--\n\n...",
//           .construct = construct_runner,                  // Runner (*)(const Args&)
//           .methods = {method<&split>("split($self, n_samples)\n--\n\n...")},
//           .repr = runner_repr};                           // std::string (*)(const Runner&)
//     });
//   }
//
// Methods take `const T&` (shared access) or `T&` (exclusive access); re-entrant use that would
// break that rule raises RuntimeError "Already borrowed" / "Already mutably borrowed".
// There is one type object per class per interpreter, found by name in the shared registry.
#include <atomic>
#include <fmt/format.h>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "binding/callable.hpp"
#include "binding/convert.hpp"
#include "binding/registry.hpp"

namespace vesk::py {

// 0: free; n > 0: n shared borrows; -1: one exclusive borrow.
class BorrowFlag {
 public:
  void acquire_shared() {
    int s = state_.load(std::memory_order_relaxed);
    do {
      if (s < 0) raise_runtime_error("Already mutably borrowed");
    } while (!state_.compare_exchange_weak(s, s + 1, std::memory_order_acquire));
  }
  void release_shared() { state_.fetch_sub(1, std::memory_order_release); }
  void acquire_exclusive() {
    int expected = 0;
    if (!state_.compare_exchange_strong(expected, -1, std::memory_order_acquire)) raise_runtime_error("Already borrowed");
  }
  void release_exclusive() { state_.store(0, std::memory_order_release); }

 private:
  std::atomic<int> state_{0};
};

template <class T>
struct Instance {
  PyObject ob_base;
  BorrowFlag borrow;
  bool constructed;
  alignas(T) unsigned char storage[sizeof(T)];

  T& value() { return *std::launder(reinterpret_cast<T*>(storage)); }
  static Instance* of(PyObject* o) { return reinterpret_cast<Instance*>(o); }
};

template <class T, bool Exclusive>
class Borrow {
 public:
  explicit Borrow(Instance<T>* self) : self_(self) {
    if constexpr (Exclusive) self_->borrow.acquire_exclusive();
    else self_->borrow.acquire_shared();
  }
  ~Borrow() {
    if constexpr (Exclusive) self_->borrow.release_exclusive();
    else self_->borrow.release_shared();
  }
  Borrow(const Borrow&) = delete;
  Borrow& operator=(const Borrow&) = delete;

 private:
  Instance<T>* self_;
};

template <auto Impl>
struct MethodTraits;
template <class Self, Ref (*Impl)(Self&, const Args&)>
struct MethodTraits<Impl> {
  using Value = std::remove_const_t<Self>;
  static constexpr bool exclusive = !std::is_const_v<Self>;
};

template <auto Impl>
PyObject* call_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  using Traits = MethodTraits<Impl>;
  return guarded([&] {
    const Args bound = bind_fastcall(spec_of<Impl>().signature, args, nargs, kwnames);
    auto* instance = Instance<typename Traits::Value>::of(self);
    Borrow<typename Traits::Value, Traits::exclusive> guard(instance);
    return Impl(instance->value(), bound);
  });
}

template <auto Impl>
PyMethodDef& method(const char* doc) {
  return describe(spec_of<Impl>(), doc, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&call_method<Impl>)), 0);
}

// Read-only property: `Ref getter(const T&)`, read under shared access.
template <auto Getter>
struct GetterTraits;
template <class T, Ref (*Getter)(const T&)>
struct GetterTraits<Getter> {
  using Value = T;
};

template <auto Getter>
PyObject* call_getter(PyObject* self, void*) {
  using T = typename GetterTraits<Getter>::Value;
  return guarded([&] {
    auto* instance = Instance<T>::of(self);
    Borrow<T, false> guard(instance);
    return Getter(instance->value());
  });
}

template <auto Getter>
PyGetSetDef property(const char* name, const char* doc) {
  return {name, &call_getter<Getter>, nullptr, doc, nullptr};
}

template <class T>
struct ClassDef {
  const char* doc = nullptr;                    // text signature of the constructor first
  T (*construct)(const Args&) = nullptr;        // nullptr: not constructible from Python
  std::vector<PyMethodDef> methods;
  std::vector<PyGetSetDef> properties;
  std::string (*repr)(const T&) = nullptr;
};

template <class T>
struct ClassState {
  ClassDef<T> def;
  Signature constructor;
  std::string qualified_name;  // "builtins.Name": Python then reports __module__ "builtins"
};

// Never destroyed, like the callable specs (it holds Python objects). The type object itself is
// not kept here: each interpreter has its own, found through its registry.
template <class T>
ClassState<T>& class_state() {
  static ClassState<T>& state = *new ClassState<T>;
  return state;
}

template <class T>
PyObject* instance_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return guarded([&] {
    const ClassState<T>& state = class_state<T>();
    if (!state.def.construct) raise_type_error(fmt::format("cannot create '{}' instances", type->tp_name));
    const Args bound = bind_tuple(state.constructor, args, kwargs);
    Ref self = check_new(type->tp_alloc(type, 0));
    auto* instance = Instance<T>::of(self.get());
    new (&instance->borrow) BorrowFlag();
    instance->constructed = false;
    new (instance->storage) T(state.def.construct(bound));
    instance->constructed = true;
    return self;
  });
}

template <class T>
void instance_dealloc(PyObject* self) {
  auto* instance = Instance<T>::of(self);
  if (instance->constructed) instance->value().~T();
  PyTypeObject* type = Py_TYPE(self);
  type->tp_free(self);
  Py_DECREF(type);
}

template <class T>
PyObject* instance_repr(PyObject* self) {
  return guarded([&] {
    auto* instance = Instance<T>::of(self);
    Borrow<T, false> guard(instance);
    return py_str(class_state<T>().def.repr(instance->value()));
  });
}

PyObject* create_heap_type(const char* qualified_name, int basicsize, std::vector<PyType_Slot>& slots);

// The class object for T, created on first use in this interpreter (or found when another copy
// of the library created it first).
template <class T, class MakeDef>
PyObject* class_object(MakeDef make) {
  ClassState<T>& state = class_state<T>();
  if (!state.def.doc) {
    state.def = make();
    state.def.methods.push_back({nullptr, nullptr, 0, nullptr});
    state.def.properties.push_back({nullptr, nullptr, nullptr, nullptr, nullptr});
    state.constructor = parse_signature(state.def.doc);
    state.qualified_name = "builtins." + state.constructor.name;
  }
  if (PyObject* existing = registry_find(state.qualified_name)) return existing;
  std::vector<PyType_Slot> slots = {
      {Py_tp_new, reinterpret_cast<void*>(&instance_new<T>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&instance_dealloc<T>)},
      {Py_tp_doc, const_cast<char*>(state.def.doc)},
      {Py_tp_methods, state.def.methods.data()},
      {Py_tp_getset, state.def.properties.data()},
  };
  if (state.def.repr) slots.push_back({Py_tp_repr, reinterpret_cast<void*>(&instance_repr<T>)});
  Ref type = Ref::steal(create_heap_type(state.qualified_name.c_str(), static_cast<int>(sizeof(Instance<T>)), slots));
  return registry_add(state.qualified_name, type.get());
}

// The C++ value inside an argument that must be an instance of T's class; TypeError otherwise.
// Used for values that are read once (copied or shared_ptr-shared), so no borrow is held.
template <class T>
T& instance_argument(Arg a) {
  PyObject* type = registry_find(class_state<T>().qualified_name);
  if (!type || !PyObject_TypeCheck(a.object, reinterpret_cast<PyTypeObject*>(type)))
    argument_error(a, fmt::format("'{}' object is not an instance of '{}'", Py_TYPE(a.object)->tp_name,
                                  class_state<T>().constructor.name));
  return Instance<T>::of(a.object)->value();
}

// Wraps a C++ value in a new instance of T's class (for factories such as static methods).
template <class T>
Ref wrap(T value) {
  PyObject* registered = registry_find(class_state<T>().qualified_name);
  if (!registered) throw std::logic_error("wrap: class not registered in this interpreter");
  auto* type = reinterpret_cast<PyTypeObject*>(registered);
  Ref self = check_new(type->tp_alloc(type, 0));
  auto* instance = Instance<T>::of(self.get());
  new (&instance->borrow) BorrowFlag();
  new (instance->storage) T(std::move(value));
  instance->constructed = true;
  return self;
}

}  // namespace vesk::py
