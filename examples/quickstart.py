"""A tour of qelto: identifiers, circuits, OpenQASM 3 and compilation targets."""

import qelto


def identifiers() -> None:
    qubit, clbit = qelto.QubitId(3), qelto.ClbitId(0)
    print("identifiers:", repr(qubit), str(qubit), repr(clbit), str(clbit))
    print("exports:", qelto.__all__)


def circuits() -> None:
    bell = qelto.Circuit("bell", num_qubits=2).h(0).cx(0, 1).measure_all()
    print("fluent:", bell, "depth", bell.depth())
    for c in (qelto.Circuit.bell(), qelto.Circuit.ghz(3), qelto.Circuit.qft(3)):
        print(c)
        print(qelto.to_qasm(c))


def read_and_write() -> None:
    source = """
OPENQASM 3.0;
include "stdgates.inc";
qubit[3] q;
bit[3] c;
h q[0];
cx q[0], q[1];
rz(pi/4) q[2];
c = measure q;
"""
    circuit = qelto.from_qasm(source)
    print("read:", circuit)
    print(qelto.to_qasm(circuit))


def target() -> None:
    coupling = qelto.CouplingMap.linear(5)
    basis = qelto.BasisGates.ibm()
    layout = qelto.Layout.trivial(5)
    layout.swap(0, 1)
    properties = qelto.PropertySet().with_target(coupling, basis)
    properties.set_layout(layout)
    print("target:", coupling, "edges", coupling.edges())
    print("distance 0 -> 4:", coupling.distance(0, 4))
    print("basis:", basis, "has cx:", basis.contains("cx"))
    print("layout after swap(0, 1):", layout.get_physical(0), layout.get_logical(0))
    print("properties:", properties)


def main() -> None:
    identifiers()
    circuits()
    read_and_write()
    target()


if __name__ == "__main__":
    main()
