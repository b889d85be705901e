"""The gate methods of Circuit and the reader's gate names, checked row by row
against the gate table they are generated from."""

import inspect

import pytest

from gate_table import read_table
from qelto import Circuit, from_qasm, to_qasm

GATES, ALIASES = read_table()
BY_ENUM = {g["enum"]: g for g in GATES}

# The text signatures of the methods that existed before the table; they are
# part of the interface and must not move.
EARLIER_SIGNATURES = {
    "h": "($self, qubit)", "x": "($self, qubit)", "y": "($self, qubit)",
    "z": "($self, qubit)", "s": "($self, qubit)", "sdg": "($self, qubit)",
    "t": "($self, qubit)", "tdg": "($self, qubit)", "sx": "($self, qubit)",
    "rx": "($self, theta, qubit)", "ry": "($self, theta, qubit)",
    "rz": "($self, theta, qubit)", "p": "($self, theta, qubit)",
    "u": "($self, theta, phi, lam, qubit)", "cx": "($self, control, target)",
    "cy": "($self, control, target)", "cz": "($self, control, target)",
    "swap": "($self, q1, q2)", "iswap": "($self, q1, q2)",
    "crz": "($self, theta, control, target)",
    "cp": "($self, theta, control, target)",
    "prx": "($self, theta, phi, qubit)", "ccx": "($self, c1, c2, target)",
    "cswap": "($self, control, t1, t2)",
}


def ids(rows):
    return [r["name"] for r in rows]


def gate_line(name, angles, qubits):
    """The line to_qasm writes for one gate."""
    args = "(" + ", ".join(f"{a:.6f}" for a in angles) + ")" if angles else ""
    return f"{name}{args} " + ", ".join(f"q[{q}]" for q in qubits) + ";"


def body(circuit):
    """The operation lines of to_qasm's text."""
    lines = to_qasm(circuit).splitlines()[2:]
    return [line for line in lines if line and not line.startswith(("qubit", "bit"))]


def test_earlier_signatures_are_unchanged():
    for name, signature in EARLIER_SIGNATURES.items():
        assert getattr(Circuit, name).__text_signature__ == signature, name


@pytest.mark.parametrize("gate", GATES, ids=ids(GATES))
def test_method_signature_and_docstring_come_from_the_table(gate):
    method = getattr(Circuit, gate["name"])
    names = list(inspect.signature(method).parameters)
    assert names == ["self"] + gate["params"] + gate["qubits"]
    assert method.__doc__ == gate["doc"]


@pytest.mark.parametrize("gate", GATES, ids=ids(GATES))
def test_method_builds_one_operation_by_position_and_by_keyword(gate):
    angles = [0.25 + i for i in range(len(gate["params"]))]
    qubits = list(range(len(gate["qubits"])))[::-1]
    by_position = Circuit("c", 5)
    assert getattr(by_position, gate["name"])(*angles, *qubits) is by_position
    by_keyword = Circuit("c", 5)
    keywords = dict(zip(gate["params"] + gate["qubits"], angles + qubits))
    getattr(by_keyword, gate["name"])(**keywords)
    expected = [gate_line(gate["name"], angles, qubits)]
    assert body(by_position) == expected
    assert body(by_keyword) == expected
    assert by_position.depth() == 1


WIDE = [g for g in GATES if len(g["qubits"]) > 1]


@pytest.mark.parametrize("gate", WIDE, ids=ids(WIDE))
def test_method_refuses_a_repeated_qubit_and_changes_nothing(gate):
    c = Circuit("c", 5)
    angles = [0.5] * len(gate["params"])
    with pytest.raises(RuntimeError, match="Duplicate qubit"):
        getattr(c, gate["name"])(*angles, *([0] * len(gate["qubits"])))
    assert c.depth() == 0


@pytest.mark.parametrize("gate", GATES, ids=ids(GATES))
def test_written_gate_reads_back_as_itself(gate):
    c = getattr(Circuit("c", 5), gate["name"])(
        *[1.5 + i for i in range(len(gate["params"]))], *range(len(gate["qubits"]))
    )
    text = to_qasm(c)
    if gate["name"] == "id":
        # The reader reads `id` and drops it.
        assert body(from_qasm(text)) == []
    else:
        assert to_qasm(from_qasm(text)) == text


ALIAS_READINGS = {
    "i": "",
    "u0": "",
    "u1": "p(1.000000) q[0];",
    "phase": "p(1.000000) q[0];",
    # The same operation as reading `u(pi/2, 1, 2)`.
    "u2": "u((pi / 2.000000), 1.000000, 2.000000) q[0];",
    "u3": "u(1.000000, 2.000000, 3.000000) q[0];",
    "r": "prx(1.000000, 2.000000) q[0];",
    "cnot": "cx q[0], q[1];",
    "cu1": "cp(1.000000) q[0], q[1];",
    "cphase": "cp(1.000000) q[0], q[1];",
    "cu3": "cu(1.000000, 2.000000, 3.000000, 0.000000) q[0], q[1];",
    "toffoli": "ccx q[0], q[1], q[2];",
    "fredkin": "cswap q[0], q[1], q[2];",
    "c3sx": "c3sqrtx q[0], q[1], q[2], q[3];",
}


@pytest.mark.parametrize("alias", ALIASES, ids=ids(ALIASES))
@pytest.mark.parametrize("spelling", [str.lower, str.upper])
def test_alias_reads_as_its_target(alias, spelling):
    target = BY_ENUM[alias["target"]]
    args = ", ".join(str(i + 1) for i in range(alias["num_params"]))
    call = spelling(alias["name"]) + (f"({args})" if args else "")
    qubits = ", ".join(f"q[{i}]" for i in range(len(target["qubits"])))
    circuit = from_qasm(f"OPENQASM 3.0;\nqubit[4] q;\n{call} {qubits};\n")
    expected = ALIAS_READINGS[alias["name"]]
    assert body(circuit) == ([expected] if expected else [])
