"""What the compile tests share: reference gate matrices, a state-vector
simulator, reading compiled circuits back, devices, bases and random circuits.

Unitaries are computed with numpy from the gates' definitions; compiled
circuits are read back from their OpenQASM text (angles there carry six
decimals, hence the tolerance).
"""

import math
import re

import numpy as np
from hypothesis import strategies as st

import qelto

TOLERANCE = 1e-3

# ---- reference gate matrices -------------------------------------------------

I2 = np.eye(2, dtype=complex)
X = np.array([[0, 1], [1, 0]], dtype=complex)
Y = np.array([[0, -1j], [1j, 0]], dtype=complex)
Z = np.diag([1, -1]).astype(complex)
H = np.array([[1, 1], [1, -1]], dtype=complex) / math.sqrt(2)


def rx(t):
    return np.array([[math.cos(t / 2), -1j * math.sin(t / 2)], [-1j * math.sin(t / 2), math.cos(t / 2)]])


def ry(t):
    return np.array([[math.cos(t / 2), -math.sin(t / 2)], [math.sin(t / 2), math.cos(t / 2)]], dtype=complex)


def rz(t):
    return np.diag([np.exp(-0.5j * t), np.exp(0.5j * t)])


def phase(t):
    return np.diag([1, np.exp(1j * t)])


def u(t, p, lam):
    c, s = math.cos(t / 2), math.sin(t / 2)
    return np.array([[c, -np.exp(1j * lam) * s], [np.exp(1j * p) * s, np.exp(1j * (p + lam)) * c]])


def prx(t, p):
    return rz(p) @ rx(t) @ rz(-p)


def controlled(m):
    # Operand 0 (the control) is the low bit of the 4x4 index.
    g = np.eye(4, dtype=complex)
    g[np.ix_([1, 3], [1, 3])] = m
    return g


SWAP = np.eye(4, dtype=complex)[[0, 2, 1, 3]]
ISWAP = SWAP.copy()
ISWAP[1, 2] = ISWAP[2, 1] = 1j


def toffoli():
    g = np.eye(8, dtype=complex)
    g[[3, 7]] = g[[7, 3]]
    return g


def fredkin():
    g = np.eye(8, dtype=complex)
    g[[3, 5]] = g[[5, 3]]
    return g


GATES = {
    "id": (1, lambda: I2), "x": (1, lambda: X), "y": (1, lambda: Y), "z": (1, lambda: Z),
    "h": (1, lambda: H), "s": (1, lambda: phase(math.pi / 2)), "sdg": (1, lambda: phase(-math.pi / 2)),
    "t": (1, lambda: phase(math.pi / 4)), "tdg": (1, lambda: phase(-math.pi / 4)),
    "sx": (1, lambda: np.array([[1 + 1j, 1 - 1j], [1 - 1j, 1 + 1j]]) / 2),
    "rx": (1, rx), "ry": (1, ry), "rz": (1, rz), "p": (1, phase), "u": (1, u), "prx": (1, prx),
    "cx": (2, lambda: controlled(X)), "cy": (2, lambda: controlled(Y)), "cz": (2, lambda: controlled(Z)),
    "swap": (2, lambda: SWAP), "iswap": (2, lambda: ISWAP),
    "cp": (2, lambda t: controlled(phase(t))), "crz": (2, lambda t: controlled(rz(t))),
    "ccx": (3, toffoli), "cswap": (3, fredkin),
}
PARAMS = {"rx": 1, "ry": 1, "rz": 1, "p": 1, "u": 3, "prx": 2, "cp": 1, "crz": 1}


def apply(state, matrix, qubits):
    """Applies `matrix` to `qubits` of a state tensor shaped (2,)*n + (batch,)."""
    k = len(qubits)
    n = state.ndim - 1
    # Operand j is bit j of the matrix index, so reverse for numpy's row-major order.
    tensor = matrix.reshape((2,) * (2 * k))
    axes_in = [qubit_axis(q, n) for q in reversed(qubits)]
    moved = np.tensordot(tensor, state, axes=(list(range(k, 2 * k)), axes_in))
    return np.moveaxis(moved, list(range(k)), axes_in)


def qubit_axis(q, n):
    # Qubit q is bit q of the basis index: axis n-1-q in row-major order.
    return n - 1 - q


def run(ops, n, columns):
    """The circuit's action on the given columns (2^n x m) as a 2^n x m array."""
    state = columns.reshape((2,) * n + (columns.shape[1],))
    for name, params, qubits in ops:
        count, make = GATES[name]
        assert count == len(qubits)
        state = apply(state, make(*params), qubits)
    return state.reshape(2**n, columns.shape[1])


def embed(n, device_qubits, physical):
    """Columns placing each of the 2^n logical basis states on the device."""
    out = np.zeros((2**device_qubits, 2**n), dtype=complex)
    for i in range(2**n):
        j = sum(1 << physical[l] for l in range(n) if (i >> l) & 1)
        out[j, i] = 1
    return out


# ---- reading compiled circuits -------------------------------------------------

LINE = re.compile(r"^(\w+)(?:\((.*)\))? (.*);$")


def parse_ops(text):
    ops = []
    for line in text.splitlines():
        match = LINE.match(line.strip())
        if not match or match.group(1) in ("qubit", "bit", "OPENQASM", "barrier", "delay"):
            continue
        name, params, operands = match.groups()
        values = [eval(p, {"pi": math.pi}) for p in params.split(",")] if params else []
        qubits = [int(q) for q in re.findall(r"q\[(\d+)\]", operands)]
        ops.append((name, values, qubits))
    return ops


def build(n, ops):
    c = qelto.Circuit("c", num_qubits=n)
    for name, params, qubits in ops:
        getattr(c, name)(*params, *qubits)
    return c


def physical_list(layout, n):
    return [layout.get_physical(q) for q in range(n)]


def expect_same_action(n, ops, compiled, start, end):
    """The compiled ops (on device qubits) act like `ops` on n qubits, placed
    by `start` before and found by `end` after, up to global phase."""
    used = {}
    for p in start + [q for _, _, qs in compiled for q in qs] + end:
        used.setdefault(p, len(used))
    local = [(name, params, [used[q] for q in qs]) for name, params, qs in compiled]
    m = len(used)
    ideal = run(ops, n, np.eye(2**n, dtype=complex))
    actual = run(local, m, embed(n, m, [used[p] for p in start]))
    expected = embed(n, m, [used[p] for p in end]) @ ideal
    overlap = np.vdot(expected, actual)
    assert abs(overlap) > 1e-6
    actual *= np.conj(overlap) / abs(overlap)
    assert np.allclose(actual, expected, atol=TOLERANCE)


MAPS = {
    "line": lambda: qelto.CouplingMap.linear(8),
    "ring": lambda: qelto.CouplingMap.ring(8),
    "grid": lambda: qelto.CouplingMap.grid(3, 3),
    "star": lambda: qelto.CouplingMap.star(8),
    "heavy_hex": lambda: qelto.CouplingMap.heavy_hex(3),
}
BASES = {
    "ibm": qelto.BasisGates.ibm,
    "iqm": qelto.BasisGates.iqm,
    "universal": qelto.BasisGates.universal,
    "zyz_cz": lambda: qelto.BasisGates(["rz", "ry", "cz"]),
    "u_cp": lambda: qelto.BasisGates(["u", "cp"]),
}


@st.composite
def circuits(draw):
    n = draw(st.integers(3, 6))
    ops = []
    for _ in range(draw(st.integers(0, 25))):
        name = draw(st.sampled_from(sorted(set(GATES) - {"id"})))
        count = GATES[name][0]
        qubits = draw(st.permutations(range(n)))[:count]
        params = [draw(st.floats(-7, 7)) for _ in range(PARAMS.get(name, 0))]
        ops.append((name, params, qubits))
    return n, ops
