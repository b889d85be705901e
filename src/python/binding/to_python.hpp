#pragma once

#include <concepts>
#include <cstdint>
#include <expected>
#include <functional>
#include <optional>
#include <ranges>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "python/binding/object.hpp"
#include "python/binding/python.hpp"
#include "python/binding/ref.hpp"

namespace qelto::python {

// The one translation of a library's error type into a Python exception.
// Each library's error header in src/python specializes it with
//   static PyObject* raise(const Error&);   // sets the exception, null
template <class Error>
struct LibraryError;

// The conversion back of a library value that the rules below do not cover
// (e.g. an edge as a tuple). Specialize with
//   static PyObject* convert(const T&);      // new reference or null
template <class T>
struct ToPython;

// The conversion back of a library result, by its type. A new reference, or
// null with the error set:
// - PyRef (a result the binding built itself) is handed over as it is;
// - bool -> bool; unsigned integers -> int; std::string(_view) -> str;
// - std::optional<T> -> None or T; a range (span, vector) -> list;
// - a value held by one of the module's classes -> a new object owning it.
template <class T>
PyObject* to_python(T value);

namespace detail {

template <class T>
concept Custom = requires(const T& value) { ToPython<T>::convert(value); };

template <class T>
struct IsOptional : std::false_type {};
template <class T>
struct IsOptional<std::optional<T>> : std::true_type {};

template <class R>
PyObject* list_of(const R& range) {
  PyRef list = PyRef::steal(PyList_New(0));
  if (!list) {
    return nullptr;
  }
  for (const auto& item : range) {
    PyRef converted = PyRef::steal(to_python(item));
    if (!converted || PyList_Append(list.get(), converted.get()) != 0) {
      return nullptr;
    }
  }
  return list.release();
}

}  // namespace detail

template <class T>
PyObject* to_python(T value) {
  if constexpr (std::is_same_v<T, PyRef>) {
    return value.release();
  } else if constexpr (detail::Custom<T>) {
    return ToPython<T>::convert(value);
  } else if constexpr (std::is_same_v<T, bool>) {
    return PyBool_FromLong(value ? 1 : 0);
  } else if constexpr (std::unsigned_integral<T>) {
    return PyLong_FromUnsignedLongLong(value);
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    const std::string_view text = value;
    return PyUnicode_FromStringAndSize(text.data(),
                                       static_cast<Py_ssize_t>(text.size()));
  } else if constexpr (detail::IsOptional<T>::value) {
    if (!value) {
      return new_none();
    }
    return to_python(std::move(*value));
  } else if constexpr (BoundClass<T>) {
    return wrap(std::move(value));
  } else {
    static_assert(std::ranges::range<T>, "no conversion back for this type");
    return detail::list_of(value);
  }
}

// The conversion back of what a method's library call returned, where
// `Receiver` is the type of the receiver's value (void without one):
// - a reference to the receiver's own value (a builder that chains) gives
//   the receiver object itself;
// - std::expected<T, E> raises through LibraryError<E> or converts the T;
// - anything else goes through to_python.
template <class Receiver, class R>
PyObject* give_back(PyObject* self, R&& result) {
  using Plain = std::remove_cvref_t<R>;
  if constexpr (std::is_same_v<Plain, std::reference_wrapper<Receiver>> ||
                (std::is_lvalue_reference_v<R> &&
                 std::is_same_v<Plain, Receiver>)) {
    return PyRef::borrow(self).release();
  } else if constexpr (requires { typename Plain::error_type; }) {
    if (!result) {
      return LibraryError<typename Plain::error_type>::raise(result.error());
    }
    return give_back<Receiver>(self, std::move(*result));
  } else {
    return to_python<Plain>(std::forward<R>(result));
  }
}

}  // namespace qelto::python
