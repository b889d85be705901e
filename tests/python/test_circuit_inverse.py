"""inverse(): a random gate-only circuit followed by its inverse is the
identity up to global phase, computed here with numpy from the operations
the circuits hold."""

import cmath
import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import qelto

np = pytest.importorskip("numpy")
from compile_support import phase, rx, ry, rz, u  # noqa: E402

I2 = np.eye(2)
X = np.array([[0, 1], [1, 0]], dtype=complex)
Y = np.array([[0, -1j], [1j, 0]])
Z = np.diag([1.0 + 0j, -1])
H = np.array([[1, 1], [1, -1]], dtype=complex) / math.sqrt(2)
SX = np.array([[1 + 1j, 1 - 1j], [1 - 1j, 1 + 1j]]) / 2


def prx(t, p):
    return (math.cos(t / 2) * I2
            - 1j * math.sin(t / 2) * (math.cos(p) * X + math.sin(p) * Y))


def controlled(m, controls=1):
    size = 2 ** controls * m.shape[0]
    out = np.eye(size, dtype=complex)
    out[size - m.shape[0]:, size - m.shape[0]:] = m
    return out


def two_axis(pauli, t):
    return (math.cos(t / 2) * np.eye(4)
            - 1j * math.sin(t / 2) * np.kron(pauli, pauli))


SWAP = np.eye(4)[[0, 2, 1, 3]].astype(complex)
ISWAP = np.array([[1, 0, 0, 0], [0, 0, 1j, 0], [0, 1j, 0, 0], [0, 0, 0, 1]])

# name -> (qubit count, parameter count, matrix maker); the first operand is
# the most significant bit of the matrix index.
GATES = {
    "id": (1, 0, lambda: I2), "x": (1, 0, lambda: X), "y": (1, 0, lambda: Y),
    "z": (1, 0, lambda: Z), "h": (1, 0, lambda: H),
    "s": (1, 0, lambda: phase(math.pi / 2)),
    "sdg": (1, 0, lambda: phase(-math.pi / 2)),
    "t": (1, 0, lambda: phase(math.pi / 4)),
    "tdg": (1, 0, lambda: phase(-math.pi / 4)),
    "sx": (1, 0, lambda: SX), "sxdg": (1, 0, lambda: SX.conj().T),
    "rx": (1, 1, rx), "ry": (1, 1, ry), "rz": (1, 1, rz), "p": (1, 1, phase),
    "u": (1, 3, u), "prx": (1, 2, prx),
    "cx": (2, 0, lambda: controlled(X)), "cy": (2, 0, lambda: controlled(Y)),
    "cz": (2, 0, lambda: controlled(Z)), "ch": (2, 0, lambda: controlled(H)),
    "swap": (2, 0, lambda: SWAP), "iswap": (2, 0, lambda: ISWAP),
    "crx": (2, 1, lambda t: controlled(rx(t))),
    "cry": (2, 1, lambda t: controlled(ry(t))),
    "crz": (2, 1, lambda t: controlled(rz(t))),
    "cp": (2, 1, lambda t: controlled(phase(t))),
    "rxx": (2, 1, lambda t: two_axis(X, t)),
    "ryy": (2, 1, lambda t: two_axis(Y, t)),
    "rzz": (2, 1, lambda t: two_axis(Z, t)),
    "ccx": (3, 0, lambda: controlled(X, 2)),
    "cswap": (3, 0, lambda: controlled(SWAP)),
    "cs": (2, 0, lambda: controlled(phase(math.pi / 2))),
    "csdg": (2, 0, lambda: controlled(phase(-math.pi / 2))),
    "csx": (2, 0, lambda: controlled(SX)),
    "ccz": (3, 0, lambda: controlled(Z, 2)),
    "cu": (2, 4, lambda t, p, lam, g: controlled(cmath.exp(1j * g) * u(t, p, lam))),
    "rzx": (2, 1, lambda t: math.cos(t / 2) * np.eye(4)
            - 1j * math.sin(t / 2) * np.kron(Z, X)),
    "dcx": (2, 0, lambda: SWAP @ controlled(X) @ SWAP @ controlled(X)),
}
NUM_QUBITS = 3


def unitary(operations):
    """The unitary of (name, qubits, params) operations applied in order."""
    dim = 2 ** NUM_QUBITS
    state = np.eye(dim, dtype=complex).reshape([2] * NUM_QUBITS + [dim])
    for name, qubits, params in operations:
        if name == "barrier":
            continue
        k = len(qubits)
        gate = GATES[name][2](*params).reshape([2] * (2 * k))
        state = np.tensordot(gate, state, axes=(list(range(k, 2 * k)),
                                                list(qubits)))
        state = np.moveaxis(state, list(range(k)), list(qubits))
    return state.reshape(dim, dim)


def is_identity_up_to_phase(m):
    phase_ = m[0, 0]
    return (abs(abs(phase_) - 1) < 1e-9
            and np.allclose(m, phase_ * np.eye(m.shape[0]), atol=1e-9))


def to_text(ops):
    lines = ["OPENQASM 3.0;", f"qubit[{NUM_QUBITS}] q;"]
    for name, qubits, params in ops:
        args = ", ".join(f"q[{q}]" for q in qubits)
        angle = f"({', '.join(repr(p) for p in params)})" if params else ""
        lines.append(f"{name}{angle} {args};")
    return "\n".join(lines)


def readable(name):
    nq, count, _ = GATES[name]
    try:
        qelto.from_qasm(to_text([(name, tuple(range(nq)), (0.5,) * count)]))
    except RuntimeError:
        return False
    return True


# Random circuits are read from text, so they use the gates the reader
# knows; the others still take part as the inverses of those (iswap's
# inverse is rxx then ryy).
READABLE = sorted(name for name in GATES if readable(name))


@st.composite
def gate_lists(draw):
    ops = []
    for _ in range(draw(st.integers(0, 12))):
        name = draw(st.sampled_from(READABLE + ["barrier"]))
        if name == "barrier":
            ops.append(("barrier", tuple(range(NUM_QUBITS)), ()))
            continue
        nq, np_, _ = GATES[name]
        qubits = tuple(draw(st.permutations(range(NUM_QUBITS)))[:nq])
        params = tuple(draw(st.floats(-7, 7)) for _ in range(np_))
        ops.append((name, qubits, params))
    return ops


def read(qc):
    return [(op.name, tuple(q.index for q in op.qubits), op.params)
            for op in qc]


@settings(max_examples=200, deadline=None)
@given(gate_lists())
def test_circuit_then_inverse_is_identity(ops):
    qc = qelto.from_qasm(to_text(ops))
    inverse = qc.inverse()
    assert inverse.num_qubits == qc.num_qubits
    assert is_identity_up_to_phase(unitary(ops + read(inverse)))
    assert is_identity_up_to_phase(unitary(read(qc.compose(inverse))))


def test_reference_matrices_are_unitary():
    rng = np.random.default_rng(1)
    for name, (_, count, make) in GATES.items():
        m = make(*rng.uniform(-3, 3, count))
        assert np.allclose(m.conj().T @ m, np.eye(m.shape[0])), name


@pytest.mark.parametrize("build, name", [
    (lambda qc: qc.measure(0, 0), "measure"),
    (lambda qc: qc.reset(0), "reset"),
    (lambda qc: qc.delay(0, 10), "delay"),
])
def test_inverse_refuses_non_unitary_operations(build, name):
    qc = qelto.Circuit("c", 1, 1).h(0)
    build(qc)
    with pytest.raises(ValueError, match=rf"operation 1 \({name}\) has no inverse"):
        qc.inverse()
