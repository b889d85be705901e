"""The compile passes one by one: run in order they give what compile gives,
and each keeps its own promise on any circuit (checked with the reference
simulator of compile_support)."""

import math

import pytest
from hypothesis import given, settings, strategies as st

pytest.importorskip("numpy")
import compile_support as support  # noqa: E402
import qelto  # noqa: E402

SEEDS = st.integers(0, 2**64 - 1)


def passes_in_order(circuit, coupling_map, basis, seed):
    target = qelto.PropertySet().with_target(coupling_map, basis)
    prepared = qelto.simplify(qelto.unroll(circuit), basis, resynthesize=False)
    target.set_layout(qelto.layout(prepared, target, seed=seed))
    routed = qelto.route(prepared, target, seed=seed)
    return qelto.simplify(qelto.translate(routed, basis), basis), target


def count_two_qubit(circuit):
    return sum(1 for _, _, qubits in support.parse_ops(qelto.to_qasm(circuit)) if len(qubits) == 2)


@settings(max_examples=30, deadline=None)
@given(support.circuits(), st.sampled_from(sorted(support.MAPS)), st.sampled_from(sorted(support.BASES)), SEEDS)
def test_the_passes_in_order_give_what_compile_gives(circuit, map_name, basis_name, seed):
    n, ops = circuit
    c = support.build(n, ops)
    out, target = passes_in_order(c, support.MAPS[map_name](), support.BASES[basis_name](), seed)
    expected_target = qelto.PropertySet().with_target(support.MAPS[map_name](), support.BASES[basis_name]())
    expected = qelto.compile(c, expected_target, seed=seed)
    assert qelto.to_qasm(out) == qelto.to_qasm(expected)
    for get in (qelto.PropertySet.get_initial_layout, qelto.PropertySet.get_layout):
        assert support.physical_list(get(target), n) == support.physical_list(get(expected_target), n)


@settings(max_examples=30, deadline=None)
@given(support.circuits())
def test_unroll_leaves_gates_on_at_most_two_qubits_with_the_same_action(circuit):
    n, ops = circuit
    c = support.build(n, ops)
    before = qelto.to_qasm(c)
    out = qelto.unroll(c)
    assert qelto.to_qasm(c) == before
    unrolled = support.parse_ops(qelto.to_qasm(out))
    assert all(len(qubits) <= 2 for _, _, qubits in unrolled)
    support.expect_same_action(n, ops, unrolled, list(range(n)), list(range(n)))


@settings(max_examples=30, deadline=None)
@given(support.circuits(), st.sampled_from(sorted(support.MAPS)), SEEDS)
def test_layout_places_every_qubit_on_its_own_physical_qubit(circuit, map_name, seed):
    n, ops = circuit
    c = qelto.unroll(support.build(n, ops))
    target = qelto.PropertySet().with_target(support.MAPS[map_name](), qelto.BasisGates.ibm())
    before = repr(target)
    placed = support.physical_list(qelto.layout(c, target, seed=seed), n)
    assert len(set(placed)) == n
    assert all(0 <= p < target.get_coupling_map().num_qubits for p in placed)
    assert repr(target) == before and target.get_layout() is None
    assert support.physical_list(qelto.layout(c, target, seed=seed), n) == placed


@settings(max_examples=30, deadline=None)
@given(support.circuits(), st.sampled_from(sorted(support.MAPS)), SEEDS, st.booleans())
def test_route_couples_every_two_qubit_gate_and_keeps_the_action(circuit, map_name, seed, with_layout):
    n, ops = circuit
    c = qelto.unroll(support.build(n, ops))
    coupling_map = support.MAPS[map_name]()
    target = qelto.PropertySet().with_target(coupling_map, qelto.BasisGates.universal())
    if with_layout:
        target.set_layout(qelto.layout(c, target, seed=seed))
    start = support.physical_list(target.get_layout(), n) if with_layout else list(range(n))
    routed = qelto.route(c, target, seed=seed)
    assert routed.num_qubits == coupling_map.num_qubits
    assert support.physical_list(target.get_initial_layout(), n) == start
    compiled = support.parse_ops(qelto.to_qasm(routed))
    for _, _, qubits in compiled:
        if len(qubits) == 2:
            assert coupling_map.is_connected(*qubits), qubits
    support.expect_same_action(n, support.parse_ops(qelto.to_qasm(c)), compiled, start, support.physical_list(target.get_layout(), n))


def test_route_renames_the_circuits_own_swaps_instead_of_writing_them():
    c = support.build(4, [("h", [], [0]), ("swap", [], [0, 3]), ("cx", [], [3, 1]), ("swap", [], [1, 2])])
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(4), qelto.BasisGates.universal())
    routed = qelto.route(c, target)
    assert [name for name, _, _ in support.parse_ops(qelto.to_qasm(routed))] == ["h", "cx"]
    assert support.physical_list(target.get_layout(), 4) == [3, 2, 1, 0]


@settings(max_examples=30, deadline=None)
@given(support.circuits(), st.sampled_from(sorted(support.BASES)))
def test_translate_writes_only_basis_gates_with_the_same_action(circuit, basis_name):
    n, ops = circuit
    basis = support.BASES[basis_name]()
    out = support.parse_ops(qelto.to_qasm(qelto.translate(support.build(n, ops), basis)))
    assert {name for name, _, _ in out} <= set(basis.gates())
    support.expect_same_action(n, ops, out, list(range(n)), list(range(n)))


@settings(max_examples=30, deadline=None)
@given(support.circuits(), st.sampled_from(sorted(support.BASES)), st.booleans())
def test_simplify_keeps_the_action_and_never_adds_two_qubit_gates(circuit, basis_name, resynthesize):
    n, ops = circuit
    basis = support.BASES[basis_name]()
    c = qelto.translate(support.build(n, ops), basis)
    out = qelto.simplify(c, basis, resynthesize=resynthesize)
    assert count_two_qubit(out) <= count_two_qubit(c)
    support.expect_same_action(n, ops, support.parse_ops(qelto.to_qasm(out)), list(range(n)), list(range(n)))


@pytest.mark.parametrize(
    "ops, two_qubit",
    [
        ([("swap", [], [0, 1]), ("cp", [0.3], [1, 0])], 3),
        ([("cp", [0.3], [0, 1]), ("h", [], [0]), ("swap", [], [0, 1])], 3),
        ([("swap", [], [0, 1]), ("cx", [], [0, 1])], 2),
        ([("cx", [], [0, 1]), ("rz", [0.4], [0]), ("cx", [], [0, 1])], 0),
        ([("iswap", [], [0, 1]), ("iswap", [], [1, 0])], 0),
        ([("cp", [math.pi / 3], [0, 1])], 2),
    ],
)
def test_simplify_writes_each_run_on_a_pair_with_its_fewest_two_qubit_gates(ops, two_qubit):
    basis = qelto.BasisGates.ibm()
    out = qelto.simplify(qelto.translate(support.build(2, ops), basis), basis)
    assert count_two_qubit(out) == two_qubit
    support.expect_same_action(2, ops, support.parse_ops(qelto.to_qasm(out)), [0, 1], [0, 1])
    kept = qelto.simplify(qelto.translate(support.build(2, ops), basis), basis, resynthesize=False)
    assert count_two_qubit(kept) >= two_qubit


def three_qubit_circuit():
    c = qelto.Circuit("c", num_qubits=3)
    c.ccx(0, 1, 2)
    return c


@pytest.mark.parametrize(
    "call, message",
    [
        (lambda t: qelto.route(support.build(2, [("cx", [], [0, 1])]), qelto.PropertySet()),
         "the property set has no coupling map to compile for"),
        (lambda t: qelto.route(three_qubit_circuit(), t),
         "gate 'ccx' acts on 3 qubits; unroll it before placing or routing"),
        (lambda t: qelto.layout(three_qubit_circuit(), t),
         "gate 'ccx' acts on 3 qubits; unroll it before placing or routing"),
        (lambda t: qelto.route(support.build(4, [("cx", [], [0, 3])]), t),
         "the circuit has 4 qubits but the coupling map has only 3"),
        (lambda t: qelto.translate(support.build(1, [("rz", [0.5], [0])]), qelto.BasisGates(["h", "cx"])),
         "gate 'rz' cannot be expressed in the basis [h, cx]"),
    ],
)
def test_refusals_raise_compile_errors_and_leave_the_target_unchanged(call, message):
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(3), qelto.BasisGates.ibm())
    before = repr(target)
    with pytest.raises(RuntimeError) as info:
        call(target)
    assert str(info.value) == "Compile Error: " + message
    assert repr(target) == before
    assert target.get_initial_layout() is None and target.get_layout() is None


def test_route_refuses_an_invalid_layout_and_keeps_it():
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(3), qelto.BasisGates.ibm())
    layout = qelto.Layout()
    layout.add(0, 1)
    layout.add(1, 7)
    target.set_layout(layout)
    with pytest.raises(RuntimeError, match="does not place qubit 1 on a free physical qubit"):
        qelto.route(support.build(2, [("cx", [], [0, 1])]), target)
    assert support.physical_list(target.get_layout(), 2) == [1, 7]
    assert target.get_initial_layout() is None


@pytest.mark.parametrize("function", [qelto.layout, qelto.route])
@pytest.mark.parametrize(
    "kwargs, error",
    [({"seed": -1}, OverflowError), ({"seed": "x"}, TypeError), ({"seed": 1.5}, TypeError)],
)
def test_seeds_are_checked(function, kwargs, error):
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(2), qelto.BasisGates.ibm())
    with pytest.raises(error):
        function(support.build(2, [("cx", [], [0, 1])]), target, **kwargs)


@pytest.mark.parametrize(
    "call",
    [
        lambda c, t, b: qelto.unroll(None),
        lambda c, t, b: qelto.layout(c, b),
        lambda c, t, b: qelto.route(c, t, 3),
        lambda c, t, b: qelto.translate(c, t),
        lambda c, t, b: qelto.simplify(c, b, True),
    ],
)
def test_arguments_of_the_wrong_kind_raise_type_error(call):
    c = support.build(2, [("cx", [], [0, 1])])
    t = qelto.PropertySet().with_target(qelto.CouplingMap.linear(2), qelto.BasisGates.ibm())
    with pytest.raises(TypeError):
        call(c, t, qelto.BasisGates.ibm())
