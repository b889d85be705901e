"""A tour of qelto: identifiers, circuits, OpenQASM 3 and compilation targets."""

import qelto


def identifiers():
    qubit, clbit = qelto.QubitId(3), qelto.ClbitId(0)
    print("identifiers:", repr(qubit), str(qubit), repr(clbit), str(clbit))
    print("exports:", qelto.__all__)


def target():
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


def main():
    identifiers()
    target()


if __name__ == "__main__":
    main()
