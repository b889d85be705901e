#pragma once

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "ir/circuit.hpp"
#include "ir/error.hpp"
#include "ir/qubit.hpp"

namespace qelto::ir {

// Whole-circuit transformations. Each works through Circuit's public
// interface and leaves its inputs unchanged when it fails (running out of
// memory included: std::bad_alloc is thrown before anything changes).

// An independent deep copy named `name`: the same bits with the same
// register records, created in the same order relative to the operations,
// and the same operations in the same order. Its DAG therefore numbers its
// nodes exactly as the source's does, so both write the same text.
[[nodiscard]] Circuit copy(const Circuit& source, std::string_view name);

// Appends the operations of `other` to `target` in insertion order, with
// other's qubit i on `qubits[i]` and its classical bit j on `clbits[j]`.
// A missing mapping is the identity (bit i on bit i). `other` may be
// `target` itself (its operations as they were before the call are
// appended). Fails with InvalidBitMapping, leaving `target` unchanged, when
// a mapping's length differs from other's bit count, names a bit `target`
// lacks, or names a bit twice, or when the identity needs bits `target`
// lacks.
[[nodiscard]] IrResult<std::reference_wrapper<Circuit>> compose(
    Circuit& target, const Circuit& other,
    std::optional<std::span<const QubitId>> qubits,
    std::optional<std::span<const ClbitId>> clbits);

// The inverse circuit, named `name` + "_dg": the same bits, the operations
// in reverse order, each replaced by its exact inverse from the gate table
// (`s` by `sdg`, `rx(t)` by `rx(-t)`, `u(t, p, l)` by `u(-t, -l, -p)`,
// `iswap` by `rxx(pi/2)` then `ryy(pi/2)`, ...); barriers stay. Fails with
// NotInvertible for the first (in insertion order) measurement, reset,
// delay or custom gate.
[[nodiscard]] IrResult<Circuit> inverse(const Circuit& source);

// A copy of `source` (same name) in which every symbol named in `values` is
// replaced by its value; a parameter without free symbols left becomes one
// constant. A name given twice takes its last value. Fails with
// UnknownParameters (listing, in the order given, every name that no
// parameter of the circuit uses), else with NonFiniteParameterValue for the
// first NaN or infinite value.
[[nodiscard]] IrResult<Circuit> assign_parameters(
    const Circuit& source,
    std::span<const std::pair<std::string, double>> values);

}  // namespace qelto::ir
