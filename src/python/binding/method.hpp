#pragma once

// A method of the module is one declaration:
//
//   using AddEdge = Method<"add_edge", Changes<CouplingMap>,
//                          &CouplingMap::add_edge,
//                          "Add an edge between two qubits (bidirectional).",
//                          Param<"q1", Physical>, Param<"q2", Physical>>;
//
// its name, its receiver, one library call, the documentation and the
// parameters with their converters. The binder's names, the error messages
// and the text signature in the docstring all come from it; the result goes
// back through give_back. Constructors, getters and unary slots are declared
// the same way.

#include <functional>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "python/binding/args.hpp"
#include "python/binding/declare.hpp"
#include "python/binding/entry.hpp"
#include "python/binding/object.hpp"
#include "python/binding/text.hpp"
#include "python/binding/to_python.hpp"

namespace qelto::python {

template <class Convert>
concept ConvertsAfterValues = requires { Convert::kAfterValues; };

// The converted arguments of one call. Plain values (numbers, text,
// objects) convert first in parameter order, then the converters marked
// kAfterValues (the circuit's qubit and bit identifiers), again in order; the
// first failure stops the conversion.
template <class... Params>
class Converted {
 public:
  [[nodiscard]] bool convert(const BoundArgs& bound) {
    return pass<false>(bound, Indices{}) && pass<true>(bound, Indices{});
  }

  // Calls `call` with `front...` followed by the converted values.
  template <auto Call, class... Front>
  decltype(auto) apply(Front&&... front) {
    return apply_each<Call>(Indices{}, std::forward<Front>(front)...);
  }

 private:
  using Indices = std::index_sequence_for<Params...>;

  template <bool Late, std::size_t... I>
  bool pass(const BoundArgs& bound, std::index_sequence<I...>) {
    return (convert_one<Late, I, Params>(bound) && ...);
  }

  template <bool Late, std::size_t I, class P>
  bool convert_one(const BoundArgs& bound) {
    if constexpr (ConvertsAfterValues<typename P::Convert> != Late) {
      return true;
    } else {
      auto converted = P::Convert::convert(bound[I], P::name);
      if (!converted) {
        return false;
      }
      std::get<I>(values_).emplace(std::move(*converted));
      return true;
    }
  }

  template <auto Call, std::size_t... I, class... Front>
  decltype(auto) apply_each(std::index_sequence<I...>, Front&&... front) {
    return std::invoke(Call, std::forward<Front>(front)...,
                       std::move(*std::get<I>(values_))...);
  }

  std::tuple<std::optional<typename Params::Convert::Value>...> values_;
};

namespace detail {

// Runs the library call and converts its result back.
template <auto Call, class Value, class... Params, class... Front>
PyObject* finish(PyObject* self, Converted<Params...>& values,
                 Front&&... front) {
  using Result =
      decltype(values.template apply<Call>(std::forward<Front>(front)...));
  if constexpr (std::is_void_v<Result>) {
    values.template apply<Call>(std::forward<Front>(front)...);
    return new_none();
  } else {
    return give_back<Value>(
        self, values.template apply<Call>(std::forward<Front>(front)...));
  }
}

template <class Receiver>
struct Flags {
  static constexpr int value = 0;
};
template <class V>
struct Flags<Static<V>> {
  static constexpr int value = METH_STATIC;
};

}  // namespace detail

template <Text Name, class Receiver, auto Call, Text Doc, class... Params>
struct Method {
  using Value = typename Receiver::Value;
  static constexpr auto kFunction = text_of<QualifiedName<Receiver, Name>>;
  static constexpr Signature kSignature{
      kFunction.c_str(), {Params::name...}, required_count<Params...>(),
      positional_count<Params...>()};
  struct Named {
    static constexpr std::string_view name = Name.c_str();
  };
  static constexpr auto kDoc = text_of<
      DocString<TextSignature<Named, WithSelf<Receiver>, Params...>, Doc>>;

  static PyObject* call(PyObject* self, PyObject* const* args,
                        Py_ssize_t nargs, PyObject* kwnames) {
    BoundArgs bound;
    Converted<Params...> values;
    if constexpr (std::is_same_v<Receiver, Builds<Value>>) {
      if (!bind(kSignature, args, nargs, kwnames, bound)) {
        return nullptr;
      }
      auto* instance = receive<Value>(self);
      if (instance == nullptr || !values.convert(bound)) {
        return nullptr;
      }
      // No Python code runs between the conversions and here, so a held
      // borrow would be a fault of the module, not of the caller.
      ExclusiveBorrow borrow(instance->borrow, OnConflict::kInternalFault);
      if (!borrow.held()) {
        return nullptr;
      }
      return detail::finish<Call, Value>(self, values, instance->value);
    } else if constexpr (std::is_same_v<Receiver, Changes<Value>> ||
                         std::is_same_v<Receiver, Reads<Value>>) {
      constexpr bool kChanges = std::is_same_v<Receiver, Changes<Value>>;
      using Borrow =
          std::conditional_t<kChanges, ExclusiveBorrow, SharedBorrow>;
      auto* instance = receive<Value>(self);
      if (instance == nullptr) {
        return nullptr;
      }
      Borrow borrow(instance->borrow);
      if (!borrow.held() ||
          !bind_and_convert(args, nargs, kwnames, bound, values)) {
        return nullptr;
      }
      if constexpr (kChanges) {
        return detail::finish<Call, Value>(self, values, instance->value);
      } else {
        return detail::finish<Call, Value>(self, values,
                                           std::as_const(instance->value));
      }
    } else {
      if (!bind_and_convert(args, nargs, kwnames, bound, values)) {
        return nullptr;
      }
      return detail::finish<Call, Value>(self, values);
    }
  }

  static PyObject* call_noargs(PyObject* self, PyObject*) {
    return call(self, nullptr, 0, nullptr);
  }

  // The method-table row: METH_NOARGS without parameters, the fast call
  // with keywords otherwise; METH_STATIC for a static method.
  static PyMethodDef def() {
    if constexpr (sizeof...(Params) == 0) {
      return {Name.c_str(), noargs<&call_noargs>(),
              METH_NOARGS | detail::Flags<Receiver>::value, kDoc.c_str()};
    } else {
      return {Name.c_str(), fastcall<&call>(),
              kFastCall | detail::Flags<Receiver>::value, kDoc.c_str()};
    }
  }

 private:
  static bool bind_and_convert(PyObject* const* args, Py_ssize_t nargs,
                               PyObject* kwnames, BoundArgs& bound,
                               Converted<Params...>& values) {
    return bind(kSignature, args, nargs, kwnames, bound) &&
           values.convert(bound);
  }
};

// A read-only property: reads the value under a shared borrow.
template <Text Name, class Value, auto Read, Text Doc>
struct Getter {
  static PyObject* get(PyObject* self, void*) {
    return Method<Name, Reads<Value>, Read, Doc>::call(self, nullptr, 0,
                                                       nullptr);
  }
  static PyGetSetDef def() {
    return {Name.c_str(), entry<&get>, nullptr, Doc.c_str(), nullptr};
  }
};

// A unary slot (repr, str, int) that reads the value: `Read` gets the value
// and returns what goes back.
template <class Value, auto Read>
PyObject* read_slot(PyObject* self) {
  return Method<"", Reads<Value>, Read, "">::call(self, nullptr, 0, nullptr);
}

// The constructor (tp_new) that makes a value with `Make` from the converted
// arguments. The class docstring, with the constructor's text signature,
// comes from the same declaration.
template <class Value, auto Make, Text Doc, class... Params>
struct Constructor {
  static constexpr auto kFunction =
      text_of<QualifiedName<Static<Value>, "__new__">>;
  static constexpr Signature kSignature{
      kFunction.c_str(), {Params::name...}, required_count<Params...>(),
      positional_count<Params...>()};
  struct Named {
    static constexpr std::string_view name = class_name<Value>;
  };
  static constexpr auto kDoc = text_of<
      DocString<TextSignature<Named, false, Params...>, Doc>>;

  static PyObject* call(PyTypeObject*, PyObject* args, PyObject* kwargs) {
    BoundArgs bound;
    Converted<Params...> values;
    if (!bind(kSignature, args, kwargs, bound) || !values.convert(bound)) {
      return nullptr;
    }
    return detail::finish<Make, void>(nullptr, values);
  }
};

namespace detail {

template <class Value>
struct QualifiedClassName {
  static constexpr void write(TextWriter& out) {
    out.add("builtins.");
    out.add(class_name<Value>);
  }
};

}  // namespace detail

// The class of `Value`: made by `New` (a Constructor), shown by `Text` (a
// function of the value returning its text form, for repr), with its
// `methods` and `getset` tables (each ending with a sentinel, or null) and any
// further `slots`. Call it once, from class_def<Value>(), and keep the
// reference.
template <class Value, class New, auto Text>
ClassDef& define_class(PyMethodDef* methods, PyGetSetDef* getset = nullptr,
                       std::initializer_list<PyType_Slot> slots = {}) {
  static constexpr auto kName = text_of<detail::QualifiedClassName<Value>>;
  std::vector<PyType_Slot> all = {
      {Py_tp_doc, const_cast<char*>(New::kDoc.c_str())},
      {Py_tp_new, reinterpret_cast<void*>(entry<&New::call>)},
      {Py_tp_dealloc, reinterpret_cast<void*>(&dealloc<Value>)},
      {Py_tp_repr, reinterpret_cast<void*>(entry<&read_slot<Value, Text>>)},
  };
  if (methods != nullptr) {
    all.push_back({Py_tp_methods, methods});
  }
  if (getset != nullptr) {
    all.push_back({Py_tp_getset, getset});
  }
  all.insert(all.end(), slots.begin(), slots.end());
  static ClassDef cls(kName.c_str(), static_cast<int>(sizeof(Instance<Value>)),
                      std::move(all));
  return cls;
}

}  // namespace qelto::python
