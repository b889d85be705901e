#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "python/binding/borrow.hpp"
#include "python/binding/object.hpp"
#include "python/binding/python.hpp"
#include "python/binding/text.hpp"

namespace qelto::python {

// Argument conversions. Each returns the value, or nothing with the Python
// error set; a TypeError is prefixed "argument '{name}': ".

// int, bool or __index__, in 0 .. 4294967295.
std::optional<std::uint32_t> to_u32(PyObject* value, const char* name);
// int, bool or __index__, in 0 .. 18446744073709551615.
std::optional<std::uint64_t> to_u64(PyObject* value, const char* name);
// float, int, or anything with __float__ or __index__.
std::optional<double> to_f64(PyObject* value, const char* name);
// As to_f64 but not bool (a flag where an amount belongs is a mistake):
// TypeError for a bool, ValueError unless finite and >= 0.
std::optional<double> to_amount(PyObject* value, const char* name);
// str only; the text as UTF-8 (lone surrogates raise the encoding error).
std::optional<std::string> to_utf8(PyObject* value, const char* name);

// Rewrites a pending TypeError to "argument '{name}': {message}"; other
// errors are left as they are.
void prefix_type_error(const char* name);

// The failure of the argument `name`'s conversion with the error already
// set: prefixes a TypeError, and converts to any empty std::optional.
std::nullopt_t argument_failed(const char* name);
// The same after setting TypeError "'{type}' object cannot be converted to
// '{expected}'" for `value`.
std::nullopt_t argument_refused(PyObject* value, const char* expected,
                                const char* name);

// Converters for method parameters (see Param in declare.hpp).
struct U32 {
  using Value = std::uint32_t;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    return to_u32(v, name);
  }
};
struct U64 {
  using Value = std::uint64_t;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    return to_u64(v, name);
  }
};
struct F64 {
  using Value = double;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    return to_f64(v, name);
  }
};
struct Amount {
  using Value = double;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    return to_amount(v, name);
  }
};
struct Str {
  using Value = std::string;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    return to_utf8(v, name);
  }
};

// Any object, taken by its truth (bool(value)); an exception raised by its
// __bool__ or __len__ passes through.
struct Truth {
  using Value = bool;
  static std::optional<Value> convert(PyObject* v, const char*) {
    const int truth = PyObject_IsTrue(v);
    if (truth < 0) {
      return std::nullopt;
    }
    return truth == 1;
  }
};

// `Kind`'s conversion, handed to the library as the type `T` it names
// (e.g. an int as a physical qubit).
template <class Kind, class T>
struct As {
  using Value = T;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    auto converted = Kind::convert(v, name);
    if (!converted) {
      return std::nullopt;
    }
    return T{*converted};
  }
};

// A parameter that may be omitted: `Default` when it is, shown as `Shown`
// in the text signature.
template <class Kind, auto Default, Text Shown>
struct OrDefault {
  using Value = typename Kind::Value;
  static constexpr std::string_view kDefault = Shown.c_str();
  static std::optional<Value> convert(PyObject* v, const char* name) {
    if (v == nullptr) {
      return Value(Default);
    }
    return Kind::convert(v, name);
  }
};

// `Kind`'s conversion, or no value for None (and for an omitted argument,
// so that with a `kDefault` of "None" the parameter may be left out).
template <class Kind>
struct OrNone {
  using Value = std::optional<typename Kind::Value>;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    if (v == nullptr || v == Py_None) {
      return Value();
    }
    auto converted = Kind::convert(v, name);
    if (!converted) {
      return std::nullopt;
    }
    return Value(std::move(*converted));
  }
};

// An instance of the module's class of `V`, copied deeply under a shared
// borrow, so that the receiver never shares a value with the object it was
// given.
template <BoundClass V>
struct CopyOf {
  using Value = V;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    Instance<V>* object = receive<V>(v);
    if (object == nullptr) {
      return argument_failed(name);
    }
    return copy_value(*object);
  }
};

// The value of an instance of the module's class, used in place: `V` is
// const for reading under a SharedBorrow and plain for changing under an
// ExclusiveBorrow; the borrow is held until the call returns.
template <class V, class Borrow>
class HeldValue {
 public:
  HeldValue(Borrow borrow, V& value)
      : borrow_(std::move(borrow)), value_(&value) {}
  V& get() const { return *value_; }

 private:
  Borrow borrow_;
  V* value_;
};
template <class V>
using SharedValue = HeldValue<const V, SharedBorrow>;
template <class V>
using ExclusiveValue = HeldValue<V, ExclusiveBorrow>;

// An argument that is an instance of the module's class of `V`, borrowed
// with `Borrow` for the call.
template <BoundClass V, class Borrow>
struct BorrowedWith {
  using Value = HeldValue<
      std::conditional_t<std::is_same_v<Borrow, SharedBorrow>, const V, V>,
      Borrow>;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    Instance<V>* object = receive<V>(v);
    if (object == nullptr) {
      return argument_failed(name);
    }
    Borrow borrow(object->borrow);
    if (!borrow.held()) {
      return std::nullopt;
    }
    return Value(std::move(borrow), object->value);
  }
};
// Read in place.
template <BoundClass V>
using Borrowed = BorrowedWith<V, SharedBorrow>;
// Changed in place.
template <BoundClass V>
using BorrowedToChange = BorrowedWith<V, ExclusiveBorrow>;

}  // namespace qelto::python
