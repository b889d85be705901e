"""qelto.compile: the compiled circuit runs on the device and acts like the input.

The reference simulator and the circuits, devices and bases the tests draw
from are in compile_support.
"""

import math

import pytest

np = pytest.importorskip("numpy")
from hypothesis import given, settings, strategies as st  # noqa: E402

import qelto  # noqa: E402
from compile_support import (  # noqa: E402
    BASES,
    MAPS,
    build,
    circuits,
    expect_same_action,
    parse_ops,
    physical_list,
)


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
    expect_same_action(n, ops, compiled, start, end)
    return out


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
    assert qelto.__all__[9:] == [
        "QasmError", "compile", "Operation", "unroll", "layout", "route", "translate", "simplify",
    ]


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
