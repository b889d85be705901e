#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <utility>

#include "python/binding/args.hpp"
#include "python/binding/python.hpp"

namespace qelto::python {

// Argument conversions. Each returns the value, or nothing with the Python
// error set; a TypeError is prefixed "argument '{name}': ".

// int, bool or __index__, in 0 .. 4294967295.
std::optional<std::uint32_t> to_u32(PyObject* value, const char* name);
// int, bool or __index__, in 0 .. 18446744073709551615.
std::optional<std::uint64_t> to_u64(PyObject* value, const char* name);
// float, int, or anything with __float__ or __index__.
std::optional<double> to_f64(PyObject* value, const char* name);
// str only; the text as UTF-8 (lone surrogates raise the encoding error).
std::optional<std::string> to_utf8(PyObject* value, const char* name);

// Rewrites a pending TypeError to "argument '{name}': {message}"; other
// errors are left as they are.
void prefix_type_error(const char* name);

// Parameter kinds for `convert_args`. `Value` is what the method receives.
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
struct Str {
  using Value = std::string;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    return to_utf8(v, name);
  }
};
// Passed through unconverted (a borrowed reference); the method converts it
// in its body, after every signature conversion.
struct Any {
  using Value = PyObject*;
  static std::optional<Value> convert(PyObject* v, const char*) { return v; }
};
// A parameter with a default: converted only when given.
template <class Kind>
struct Optional {
  using Value = std::optional<typename Kind::Value>;
  static std::optional<Value> convert(PyObject* v, const char* name) {
    if (v == nullptr) {
      // Built in place: copying an empty Value in makes GCC 12 at -O2 warn
      // that its unset payload may be used uninitialized.
      return std::optional<Value>(std::in_place);
    }
    auto converted = Kind::convert(v, name);
    if (!converted) {
      return std::nullopt;
    }
    return Value(std::move(*converted));
  }
};

namespace detail {

template <class... Kinds, std::size_t... I>
std::optional<std::tuple<typename Kinds::Value...>> convert_each(
    const Signature& sig, const BoundArgs& bound, std::index_sequence<I...>) {
  std::tuple<std::optional<typename Kinds::Value>...> parts;
  // Converts in parameter order and stops at the first failure.
  bool ok = ((std::get<I>(parts) = Kinds::convert(bound[I], sig.names[I]),
              std::get<I>(parts).has_value()) &&
             ...);
  if (!ok) {
    return std::nullopt;
  }
  return std::tuple<typename Kinds::Value...>(
      std::move(*std::get<I>(parts))...);
}

}  // namespace detail

// Binds a fast call to `sig` and converts each argument by its kind, in
// parameter order. Nothing on failure, with the Python error set.
template <class... Kinds>
std::optional<std::tuple<typename Kinds::Value...>> convert_args(
    const Signature& sig, PyObject* const* args, Py_ssize_t nargs,
    PyObject* kwnames) {
  BoundArgs bound;
  if (!bind(sig, args, nargs, kwnames, bound)) {
    return std::nullopt;
  }
  return detail::convert_each<Kinds...>(sig, bound,
                                        std::index_sequence_for<Kinds...>());
}

// The same for a tuple-and-dict call (constructors).
template <class... Kinds>
std::optional<std::tuple<typename Kinds::Value...>> convert_args(
    const Signature& sig, PyObject* args, PyObject* kwargs) {
  BoundArgs bound;
  if (!bind(sig, args, kwargs, bound)) {
    return std::nullopt;
  }
  return detail::convert_each<Kinds...>(sig, bound,
                                        std::index_sequence_for<Kinds...>());
}

}  // namespace qelto::python
