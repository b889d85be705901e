#pragma once

#include <exception>
#include <new>
#include <stdexcept>

#include "python/binding/python.hpp"

namespace qelto::python {

// Raises the module's internal-fault exception (derived directly from
// BaseException) with `message`.
void raise_internal_fault(const char* message);

namespace detail {

template <class R>
R failure_value() {
  if constexpr (std::is_pointer_v<R>) {
    return nullptr;
  } else {
    return static_cast<R>(-1);
  }
}

template <auto Impl>
struct Entry;

// Wraps a C++ function as an interpreter entry point of the same shape: no
// C++ exception crosses into the interpreter.
template <class R, class... A, R (*Impl)(A...)>
struct Entry<Impl> {
  static R call(A... args) noexcept {
    try {
      return Impl(args...);
    } catch (const std::bad_alloc&) {
      PyErr_NoMemory();
    } catch (const std::length_error&) {
      // A container asked for more than it can ever hold: out of memory too.
      PyErr_NoMemory();
    } catch (const std::exception& error) {
      raise_internal_fault(error.what());
    } catch (...) {
      raise_internal_fault("unknown internal error");
    }
    return failure_value<R>();
  }
};

}  // namespace detail

// The guarded entry point for `Impl`, with the same signature.
template <auto Impl>
inline constexpr auto entry = &detail::Entry<Impl>::call;

// Method-table helpers: the guarded entry cast to the table's pointer type.
template <auto Impl>
PyCFunction fastcall() {
  FastCallFunction function = entry<Impl>;
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

template <auto Impl>
PyCFunction noargs() {
  PyCFunction function = entry<Impl>;
  return function;
}

inline constexpr int kFastCall = METH_FASTCALL | METH_KEYWORDS;

}  // namespace qelto::python
