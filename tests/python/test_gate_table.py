"""Properties of the gate catalogue table: every portable definition body is
exact up to global phase, every inverse is exact including global phase, and
each body uses only gates a reader of stdgates.inc knows (or earlier rows)."""

import cmath
import math
import re

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from gate_table import read_table, statements

GATES, ALIASES = read_table()
BY_NAME = {g["name"]: g for g in GATES}

# ---- Reference matrices, written out independently of the table ----------
# Operand order is significance order: the first operand is the most
# significant bit of the row index; controls come first.

I2 = np.eye(2, dtype=complex)
X = np.array([[0, 1], [1, 0]], dtype=complex)
Y = np.array([[0, -1j], [1j, 0]], dtype=complex)
Z = np.diag([1, -1]).astype(complex)
H = np.array([[1, 1], [1, -1]], dtype=complex) / math.sqrt(2)
SX = np.array([[1 + 1j, 1 - 1j], [1 - 1j, 1 + 1j]]) / 2
SWAP = np.eye(4, dtype=complex)[[0, 2, 1, 3]]


def u_matrix(theta, phi, lam):
    c, s = math.cos(theta / 2), math.sin(theta / 2)
    return np.array(
        [
            [c, -cmath.exp(1j * lam) * s],
            [cmath.exp(1j * phi) * s, cmath.exp(1j * (phi + lam)) * c],
        ]
    )


def phase(lam):
    return np.diag([1, cmath.exp(1j * lam)])


def rotation(pauli, theta):
    """exp(-i theta/2 P) for a Pauli product P."""
    return math.cos(theta / 2) * np.eye(len(pauli)) - 1j * math.sin(theta / 2) * pauli


def controlled(matrix, controls=1):
    size = matrix.shape[0] << controls
    out = np.eye(size, dtype=complex)
    out[size - matrix.shape[0] :, size - matrix.shape[0] :] = matrix
    return out


def on(matrix, operands, num_qubits):
    """`matrix` acting on the listed qubit positions of `num_qubits`."""
    rest = [q for q in range(num_qubits) if q not in operands]
    full = np.kron(matrix, np.eye(2 ** len(rest))).reshape([2] * (2 * num_qubits))
    # The axes are outputs then inputs, each in the order operands + rest.
    back = list(np.argsort(list(operands) + rest))
    full = full.transpose(back + [num_qubits + i for i in back])
    return full.reshape(2**num_qubits, 2**num_qubits)


def from_qelib1(body, num_qubits):
    """The matrix of a qelib1.inc body written with u1/u2/cx over a, b, c, d."""
    result = np.eye(2**num_qubits, dtype=complex)
    for name, args, operands in statements(body):
        values = [eval(a, {"pi": math.pi}) for a in args]
        matrix = {
            "u1": lambda: phase(values[0]),
            "u2": lambda: u_matrix(math.pi / 2, values[0], values[1]),
            "cx": lambda: controlled(X),
        }[name]()
        result = on(matrix, ["abcd".index(o) for o in operands], num_qubits) @ result
    return result


RCCX_QELIB1 = (
    "u2(0,pi) c; u1(pi/4) c; cx b, c; u1(-pi/4) c; cx a, c; u1(pi/4) c; "
    "cx b, c; u1(-pi/4) c; u2(0,pi) c;"
)
RC3X_QELIB1 = (
    "u2(0,pi) d; u1(pi/4) d; cx c,d; u1(-pi/4) d; u2(0,pi) d; cx a,d; "
    "u1(pi/4) d; cx b,d; u1(-pi/4) d; cx a,d; u1(pi/4) d; cx b,d; "
    "u1(-pi/4) d; u2(0,pi) d; u1(pi/4) d; cx c,d; u1(-pi/4) d; u2(0,pi) d;"
)

REFERENCE = {
    "id": lambda: I2,
    "x": lambda: X,
    "y": lambda: Y,
    "z": lambda: Z,
    "h": lambda: H,
    "s": lambda: phase(math.pi / 2),
    "sdg": lambda: phase(-math.pi / 2),
    "t": lambda: phase(math.pi / 4),
    "tdg": lambda: phase(-math.pi / 4),
    "sx": lambda: SX,
    "sxdg": lambda: SX.conj().T,
    "rx": lambda t: rotation(X, t),
    "ry": lambda t: rotation(Y, t),
    "rz": lambda t: rotation(Z, t),
    "p": phase,
    "u": u_matrix,
    "U": u_matrix,
    "cx": lambda: controlled(X),
    "cy": lambda: controlled(Y),
    "cz": lambda: controlled(Z),
    "ch": lambda: controlled(H),
    "swap": lambda: SWAP,
    "iswap": lambda: np.array(
        [[1, 0, 0, 0], [0, 0, 1j, 0], [0, 1j, 0, 0], [0, 0, 0, 1]]
    ),
    "crx": lambda t: controlled(rotation(X, t)),
    "cry": lambda t: controlled(rotation(Y, t)),
    "crz": lambda t: controlled(rotation(Z, t)),
    "cp": lambda t: controlled(phase(t)),
    "rxx": lambda t: rotation(np.kron(X, X), t),
    "ryy": lambda t: rotation(np.kron(Y, Y), t),
    "rzz": lambda t: rotation(np.kron(Z, Z), t),
    "ccx": lambda: controlled(X, 2),
    "cswap": lambda: controlled(SWAP),
    "prx": lambda t, p: rotation(Z, p) @ rotation(X, t) @ rotation(Z, -p),
    "cu": lambda t, p, l, g: controlled(cmath.exp(1j * g) * u_matrix(t, p, l)),
    "csx": lambda: controlled(SX),
    "rccx": lambda: from_qelib1(RCCX_QELIB1, 3),
    "rc3x": lambda: from_qelib1(RC3X_QELIB1, 4),
    "c3sqrtx": lambda: controlled(SX, 3),
    "c3x": lambda: controlled(X, 3),
    "c4x": lambda: controlled(X, 4),
    "cs": lambda: controlled(phase(math.pi / 2)),
    "csdg": lambda: controlled(phase(-math.pi / 2)),
    "ccz": lambda: controlled(Z, 2),
    "rzx": lambda t: rotation(np.kron(Z, X), t),
    # Cross resonance echoed: rzx(pi/4), x on the first qubit, rzx(-pi/4).
    "ecr": lambda: rotation(np.kron(Z, X), -math.pi / 4)
    @ np.kron(X, I2)
    @ rotation(np.kron(Z, X), math.pi / 4),
    "dcx": lambda: on(controlled(X), [1, 0], 2) @ controlled(X),
}

STDGATES = {
    "p", "x", "y", "z", "h", "s", "sdg", "t", "tdg", "sx", "rx", "ry", "rz",
    "cx", "cy", "cz", "cp", "crx", "cry", "crz", "ch", "swap", "ccx", "cswap",
    "cu", "CX", "phase", "cphase", "id", "u1", "u2", "u3",
}

# Angles away from special values, so that no identity holds by accident.
ANGLES = [0.7234, -1.311, 2.0543, 0.4127]


def body_matrix(gate, body, values):
    """The matrix of a body over `gate`'s names, with its parameters bound."""
    scope = dict(zip(gate["params"], values), pi=math.pi)
    positions = {name: i for i, name in enumerate(gate["qubits"])}
    result = np.eye(2 ** len(gate["qubits"]), dtype=complex)
    for name, args, operands in statements(body):
        arguments = [eval(a, {"__builtins__": {}}, scope) for a in args]
        matrix = np.asarray(REFERENCE[name](*arguments), dtype=complex)
        assert matrix.shape[0] == 2 ** len(operands), (name, operands)
        result = on(matrix, [positions[o] for o in operands], len(positions)) @ result
    return result


def equal_up_to_phase(a, b):
    k = np.unravel_index(np.argmax(abs(b)), b.shape)
    return np.allclose(a * (b[k] / a[k]), b, atol=1e-12) and math.isclose(
        abs(b[k] / a[k]), 1.0, rel_tol=1e-12
    )


def ids(rows):
    return [r["name"] for r in rows]


def test_every_gate_has_a_reference_matrix_of_its_size():
    for gate in GATES:
        matrix = np.asarray(REFERENCE[gate["name"]](*ANGLES[: len(gate["params"])]))
        size = 2 ** len(gate["qubits"])
        assert matrix.shape == (size, size), gate["name"]
        assert np.allclose(matrix @ matrix.conj().T, np.eye(size)), gate["name"]


def test_reference_matrices_agree_with_qiskit_when_installed():
    pytest.importorskip("qiskit")
    from qiskit.circuit.library import get_standard_gate_name_mapping
    from qiskit.quantum_info import Operator

    from qiskit.circuit.library import C3XGate, C4XGate

    mapping = get_standard_gate_name_mapping()
    renamed = {"prx": "r", "c3sqrtx": "c3sx", "rc3x": "rcccx"}
    # Qiskit's name mapping leaves out its fixed multi-controlled X gates.
    classes = {"c3x": C3XGate, "c4x": C4XGate}
    for gate in GATES:
        params = ANGLES[: len(gate["params"])]
        name = renamed.get(gate["name"], gate["name"])
        qiskit_gate = classes.get(name, type(mapping.get(name)))(*params)
        # Qiskit counts the first operand as the least significant bit.
        n = len(gate["qubits"])
        data = Operator(qiskit_gate).data.reshape([2] * (2 * n))
        data = data.transpose(list(range(n))[::-1] + list(range(n, 2 * n))[::-1])
        assert equal_up_to_phase(
            np.asarray(REFERENCE[gate["name"]](*params), dtype=complex),
            data.reshape(2**n, 2**n),
        ), gate["name"]


@pytest.mark.parametrize(
    "gate", [g for g in GATES if not g["in_stdgates"]], ids=ids([g for g in GATES if not g["in_stdgates"]])
)
def test_definition_is_exact_up_to_global_phase(gate):
    values = ANGLES[: len(gate["params"])]
    assert equal_up_to_phase(
        body_matrix(gate, gate["definition"], values),
        np.asarray(REFERENCE[gate["name"]](*values), dtype=complex),
    )


@pytest.mark.parametrize("gate", GATES, ids=ids(GATES))
def test_definition_uses_only_known_gates(gate):
    if gate["in_stdgates"]:
        assert gate["definition"] == ""
        assert gate["name"] in STDGATES
        return
    assert gate["name"] not in STDGATES
    earlier = {g["name"] for g in GATES[: GATES.index(gate)] if not g["in_stdgates"]}
    for name, _, operands in statements(gate["definition"]):
        assert name in STDGATES or name == "U" or name in earlier, name
        assert set(operands) <= set(gate["qubits"])


@pytest.mark.parametrize("gate", GATES, ids=ids(GATES))
def test_inverse_is_exact_including_global_phase(gate):
    values = ANGLES[: len(gate["params"])]
    forward = np.asarray(REFERENCE[gate["name"]](*values), dtype=complex)
    for name, _, _ in statements(gate["inverse"]):
        assert name in BY_NAME, name
    inverse = body_matrix(gate, gate["inverse"], values)
    assert np.allclose(inverse @ forward, np.eye(forward.shape[0]), atol=1e-12)


def test_names_are_unique_and_the_first_32_keep_their_order():
    names = [g["name"] for g in GATES] + [a["name"].lower() for a in ALIASES]
    assert len(names) == len(set(names))
    assert [g["name"] for g in GATES[:32]] == (
        "id x y z h s sdg t tdg sx sxdg rx ry rz p u cx cy cz ch swap iswap "
        "crx cry crz cp rxx ryy rzz ccx cswap prx"
    ).split()


@pytest.mark.parametrize("alias", ALIASES, ids=ids(ALIASES))
def test_alias_means_its_target(alias):
    """The alias's meaning (qelib1.inc / stdgates.inc, up to global phase)
    equals the target gate with the alias's parameters mapped."""
    target = next(g for g in GATES if g["enum"] == alias["target"])
    values = ANGLES[: alias["num_params"]]
    if alias["params"]:
        mapped = [
            eval(re.sub(r"\$(\d)", r"v\1", text), {"pi": math.pi}, {f"v{i}": v for i, v in enumerate(values)})
            for text in alias["params"].split(",")
        ]
    else:
        mapped = values[: len(target["params"])]
    meaning = {
        "u0": lambda g: I2,
        "u1": phase,
        "u2": lambda p, l: u_matrix(math.pi / 2, p, l),
        "u3": u_matrix,
        "cu1": lambda l: controlled(phase(l)),
        "cu3": lambda t, p, l: controlled(u_matrix(t, p, l)),
        "r": lambda t, p: rotation(math.cos(p) * X + math.sin(p) * Y, t),
    }.get(alias["name"], REFERENCE[target["name"]])
    assert equal_up_to_phase(
        np.asarray(REFERENCE[target["name"]](*mapped), dtype=complex),
        np.asarray(meaning(*values), dtype=complex),
    )


@settings(max_examples=25, deadline=None)
@given(st.lists(st.floats(-7.0, 7.0), min_size=4, max_size=4))
def test_definitions_and_inverses_hold_for_any_angles(angles):
    for gate in GATES:
        if not gate["params"]:
            continue
        values = angles[: len(gate["params"])]
        forward = np.asarray(REFERENCE[gate["name"]](*values), dtype=complex)
        inverse = body_matrix(gate, gate["inverse"], values)
        assert np.allclose(inverse @ forward, np.eye(forward.shape[0]), atol=1e-12)
        if not gate["in_stdgates"]:
            assert equal_up_to_phase(body_matrix(gate, gate["definition"], values), forward)
