#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>

#include "python/binding/python.hpp"

namespace qelto::python {

// The widest gate method: cu takes four angles and two qubits.
inline constexpr std::size_t kMaxParams = 6;

// The parameters of one function as Python sees them: the first
// `positional` can be given by position or by keyword, the rest by keyword
// only; the first `required` have no default.
struct Signature {
  const char* function;  // "Circuit.rx", "QubitId.__new__", "from_qasm"
  std::array<const char*, kMaxParams> names{};
  std::size_t count = 0;
  std::size_t required = 0;
  std::size_t positional = 0;

  consteval Signature(const char* fn, std::initializer_list<const char*> params)
      : Signature(fn, params, params.size()) {}
  consteval Signature(const char* fn, std::initializer_list<const char*> params,
                      std::size_t num_required)
      : Signature(fn, params, num_required, params.size()) {}
  consteval Signature(const char* fn, std::initializer_list<const char*> params,
                      std::size_t num_required, std::size_t num_positional)
      : function(fn),
        count(params.size()),
        required(num_required),
        positional(num_positional) {
    std::size_t i = 0;
    for (const char* name : params) {
      names[i++] = name;
    }
  }

  // The name after the class: "rx" for "Circuit.rx".
  constexpr const char* method_name() const {
    const char* name = function;
    for (const char* c = function; *c != '\0'; ++c) {
      if (*c == '.') {
        name = c + 1;
      }
    }
    return name;
  }
};

// The arguments of one call, matched to parameters: borrowed references in
// parameter order, null for an omitted parameter with a default.
using BoundArgs = std::array<PyObject*, kMaxParams>;

// Matches a fast call's arguments (positional values, then the values of the
// keywords named in `kwnames`). On failure returns false with the TypeError
// of the mismatch set.
[[nodiscard]] bool bind(const Signature& signature, PyObject* const* args,
                        Py_ssize_t nargs, PyObject* kwnames, BoundArgs& out);

// The same for a tuple-and-dict call (constructors).
[[nodiscard]] bool bind(const Signature& signature, PyObject* args,
                        PyObject* kwargs, BoundArgs& out);

}  // namespace qelto::python
