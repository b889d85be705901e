"""qelto.compile: the compiled circuit runs on the device and acts like the input.

Unitaries are computed with numpy from the gates' definitions; the compiled
circuit is read back from its OpenQASM text (angles there carry six decimals,
hence the tolerance).
"""

import math
import re

import pytest

np = pytest.importorskip("numpy")
from hypothesis import given, settings, strategies as st  # noqa: E402

import qelto  # noqa: E402

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


def check_compiled(n, ops, coupling_map, basis, seed=1):
    circuit = build(n, ops)
    before = qelto.to_qasm(circuit)
    target = qelto.PropertySet().with_target(coupling_map, basis)
    out = qelto.compile(circuit, target, seed=seed)
    assert qelto.to_qasm(circuit) == before
    assert out.num_qubits == coupling_map.num_qubits
    compiled = parse_ops(qelto.to_qasm(out))
    names = set(basis.gates())
    for name, _, qubits in compiled:
        assert name in names, name
        assert len(qubits) <= 2
        if len(qubits) == 2:
            assert coupling_map.is_connected(*qubits), qubits
    start = physical_list(target.get_initial_layout(), n)
    end = physical_list(target.get_layout(), n)
    # Simulate only the device qubits in use, numbered by first use.
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
    return out


# ---- strategies ----------------------------------------------------------------

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


@settings(max_examples=40, deadline=None)
@given(circuits(), st.sampled_from(sorted(MAPS)), st.sampled_from(sorted(BASES)), st.integers(0, 2**64 - 1))
def test_compiled_circuits_act_like_the_input_on_coupled_pairs_in_the_basis(circuit, map_name, basis_name, seed):
    n, ops = circuit
    check_compiled(n, ops, MAPS[map_name](), BASES[basis_name](), seed)


def qft_ops(n):
    ops = []
    for i in range(n):
        ops.append(("h", [], [i]))
        for j in range(1, n - i):
            ops.append(("cp", [math.pi / 2**j], [i + j, i]))
    for i in range(n // 2):
        ops.append(("swap", [], [i, n - 1 - i]))
    return ops


def ghz_ops(n):
    return [("h", [], [0])] + [("cx", [], [0, i]) for i in range(1, n)]


def adder_ops():
    # Cuccaro ripple-carry adder of two 3-bit numbers with carry out.
    ops = []

    def maj(c, b, a):
        ops.extend([("cx", [], [a, b]), ("cx", [], [a, c]), ("ccx", [], [c, b, a])])

    def uma(c, b, a):
        ops.extend([("ccx", [], [c, b, a]), ("cx", [], [a, c]), ("cx", [], [c, b])])

    maj(0, 1, 2), maj(2, 3, 4), maj(4, 5, 6)
    ops.append(("cx", [], [6, 7]))
    uma(4, 5, 6), uma(2, 3, 4), uma(0, 1, 2)
    return ops


def clifford_t_ops(n, count, seed):
    rng = np.random.default_rng(seed)
    ops = []
    for _ in range(count):
        a, b = (int(q) for q in rng.choice(n, 2, replace=False))
        ops.append([("h", [], [a]), ("s", [], [a]), ("t", [], [a]), ("cx", [], [a, b])][rng.integers(4)])
    return ops


@pytest.mark.parametrize("map_name", sorted(MAPS))
@pytest.mark.parametrize(
    "name, n, ops",
    [("qft", 6, qft_ops(6)), ("ghz", 7, ghz_ops(7)), ("adder", 8, adder_ops()), ("clifford_t", 6, clifford_t_ops(6, 60, 4))],
)
def test_fixed_circuits_compile_to_the_same_unitary(name, n, ops, map_name):
    check_compiled(n, ops, MAPS[map_name](), qelto.BasisGates.ibm())


def test_equal_seeds_give_equal_circuits_and_layouts():
    c = build(6, qft_ops(6))

    def compiled(seed):
        target = qelto.PropertySet().with_target(qelto.CouplingMap.heavy_hex(3), qelto.BasisGates.iqm())
        out = qelto.compile(c, target, seed=seed)
        return qelto.to_qasm(out), repr(sorted(physical_list(target.get_layout(), 6)))

    assert compiled(7) == compiled(7)
    assert compiled(None) == compiled(0)


def test_a_layout_in_the_target_is_the_initial_placement():
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(5), qelto.BasisGates.universal())
    layout = qelto.Layout()
    for logical, physical in [(0, 4), (1, 2), (2, 3)]:
        layout.add(logical, physical)
    target.set_layout(layout)
    assert target.get_initial_layout() is None
    qelto.compile(build(3, qft_ops(3)), target)
    assert physical_list(target.get_initial_layout(), 3) == [4, 2, 3]


def two_parts():
    m = qelto.CouplingMap(4)
    m.add_edge(0, 1)
    m.add_edge(2, 3)
    return m


@pytest.mark.parametrize(
    "target, n, message",
    [
        (lambda: qelto.PropertySet(), 2, "the property set has no coupling map to compile for"),
        (
            lambda: qelto.PropertySet().with_target(qelto.CouplingMap.linear(1), qelto.BasisGates.ibm()),
            2,
            "the circuit has 2 qubits but the coupling map has only 1",
        ),
        (
            lambda: qelto.PropertySet().with_target(two_parts(), qelto.BasisGates.ibm()),
            3,
            "a group of 3 interacting qubits does not fit in any connected part of the coupling map "
            "(the largest free part has 2 qubits)",
        ),
        (
            lambda: qelto.PropertySet().with_target(qelto.CouplingMap.linear(3), qelto.BasisGates(["h", "cx"])),
            3,
            "gate 'rz' cannot be expressed in the basis [h, cx]",
        ),
    ],
)
def test_refusals_raise_compile_errors_and_leave_the_target_unchanged(target, n, message):
    t = target()
    ops = [("cx", [], [i, i + 1]) for i in range(n - 1)] + [("rz", [0.5], [0])]
    before = repr(t)
    with pytest.raises(RuntimeError) as info:
        qelto.compile(build(n, ops), t)
    assert str(info.value) == "Compile Error: " + message
    assert repr(t) == before
    assert t.get_initial_layout() is None


@pytest.mark.parametrize(
    "args, kwargs, error",
    [
        ((), {}, TypeError),
        (("not a circuit", None), {}, TypeError),
        ((None, None, 3), {}, TypeError),
        ((), {"seed": -1}, OverflowError),
        ((), {"seed": "x"}, TypeError),
    ],
)
def test_arguments_are_checked(args, kwargs, error):
    circuit = build(2, [("cx", [], [0, 1])])
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(2), qelto.BasisGates.ibm())
    if not args and kwargs:
        args = (circuit, target)
    with pytest.raises(error):
        qelto.compile(*args, **kwargs)


def test_compile_follows_the_first_nine_names_in_all():
    assert qelto.__all__[:9] == [
        "QubitId", "ClbitId", "Circuit", "Layout", "CouplingMap", "BasisGates", "PropertySet", "from_qasm", "to_qasm",
    ]
    assert qelto.__all__[9:] == ["QasmError", "compile", "Operation"]


@pytest.mark.parametrize(
    "make, n, edges",
    [
        (lambda: qelto.CouplingMap.ring(2), 2, [(0, 1)]),
        (lambda: qelto.CouplingMap.ring(4), 4, [(0, 1), (1, 2), (2, 3), (3, 0)]),
        (lambda: qelto.CouplingMap.grid(2, 2), 4, [(0, 1), (0, 2), (1, 3), (2, 3)]),
        (lambda: qelto.CouplingMap.grid(0, 3), 0, []),
        (lambda: qelto.CouplingMap.heavy_hex(1), 1, []),
    ],
)
def test_device_shapes_list_their_edges_in_documented_order(make, n, edges):
    m = make()
    assert m.num_qubits == n
    assert m.edges() == edges


def test_heavy_hex_has_the_code_lattice_size():
    for d in (3, 5, 7):
        m = qelto.CouplingMap.heavy_hex(d)
        assert m.num_qubits == (5 * d * d - 2 * d - 1) // 2
        assert all(m.distance(0, q) is not None for q in range(m.num_qubits))


@pytest.mark.parametrize("call", [lambda: qelto.CouplingMap.heavy_hex(2), lambda: qelto.CouplingMap.grid(65536, 65536)])
def test_device_shapes_that_cannot_be_built_raise_value_error(call):
    with pytest.raises(ValueError):
        call()
