"""Type-checked with `mypy --strict` (scripts/test), never run: what a user's
code sees through the stubs. Each assert_type states what a call gives; each
`type: ignore[...]` is a misuse that must stay an error (strict mode reports
an ignore that is no longer needed)."""

from typing_extensions import assert_type

import qelto
from qelto import BasisGates, Circuit, ClbitId, CouplingMap, Layout, PropertySet, QubitId

# The builder chain keeps its type to the end.
bell = Circuit("bell", num_qubits=2).h(0).cx(QubitId(0), 1).measure_all()
assert_type(bell, Circuit)
assert_type(Circuit("r", 1).rx(0.5, 0).u(1, 2, 3, 0).prx(0.1, 0.2, 0).delay(0, 10), Circuit)
assert_type(bell.measure(QubitId(1), ClbitId(1)).reset(1).barrier_all(), Circuit)
assert_type(Circuit.ghz(3).ccx(0, 1, 2).cswap(0, 1, 2).crz(0.1, 0, 1), Circuit)
assert_type(bell.depth(), int)
assert_type(bell.name, str)
assert_type(bell.add_qubit(), QubitId)
assert_type(bell.add_creg("c", 2), list[ClbitId])
assert_type(QubitId(3).index, int)
assert_type(int(ClbitId(2)), int)

assert_type(qelto.from_qasm("OPENQASM 3.0; qubit q; h q;"), Circuit)
assert_type(qelto.to_qasm(bell), str)
assert_type(qelto.to_qasm(bell, portable=True), str)
assert_type(qelto.__version__, str)

coupling = CouplingMap.linear(5)
assert_type(coupling.distance(0, 4), "int | None")
assert_type(coupling.edges(), list[tuple[int, int]])
layout = Layout.trivial(5)
assert_type(layout.get_physical(0), "int | None")
assert_type(layout.get_logical(0), "QubitId | None")
assert_type(len(layout), int)
props = PropertySet().with_target(coupling, BasisGates.ibm())
assert_type(props, PropertySet)
assert_type(props.get_basis_gates(), "BasisGates | None")
assert_type(BasisGates(["cx", "h"]).gates(), list[str])

# Misuses the checker must report.
bell.h("0")  # type: ignore[arg-type]
bell.delay(0, 1.5)  # type: ignore[arg-type]
bell.measure(0, QubitId(0))  # type: ignore[arg-type]
coupling.distance(from_=0, to=1)  # type: ignore[call-arg]
bell.num_qubits = 3  # type: ignore[misc]
BasisGates({"cx"})  # type: ignore[arg-type]


class Mine(Circuit):  # type: ignore[misc]
    pass
