"""compile() and simplify() with a tolerance: what they leave out or rewrite
moves the action by at most the tolerance per piece (operator norm, up to
global phase), the default stays exact, and bad tolerances are refused."""

import math

import pytest
from hypothesis import given, settings, strategies as st

np = pytest.importorskip("numpy")
import compile_support as support  # noqa: E402
import qelto  # noqa: E402

# Pieces a simplification may replace per operation it reads: the operation
# itself, or the block it closes plus the one-qubit runs of that block's
# re-synthesis (at most 12 one-qubit steps).
PIECES_PER_OP = 14


def action_distance(n, ops, compiled, start, end):
    """|actual - e^(i phi) expected| in operator norm, phi from their overlap
    (an upper bound on the least distance over phases)."""
    used = {}
    for p in start + [q for _, _, qs in compiled for q in qs] + end:
        used.setdefault(p, len(used))
    local = [(name, params, [used[q] for q in qs]) for name, params, qs in compiled]
    m = len(used)
    expected = support.embed(n, m, [used[p] for p in end]) @ support.run(ops, n, np.eye(2**n, dtype=complex))
    actual = support.run(local, m, support.embed(n, m, [used[p] for p in start]))
    overlap = np.vdot(expected, actual)
    actual *= np.conj(overlap) / abs(overlap)
    return np.linalg.norm(actual - expected, 2)


@st.composite
def nearly_identity_circuits(draw):
    """Random circuits where about half the rotations are tiny, so that some
    fall within the tolerance and some just outside it."""
    n, ops = draw(support.circuits())
    tiny = st.floats(-4e-3, 4e-3)
    out = []
    for name, params, qubits in ops:
        if params and draw(st.booleans()):
            params = [draw(tiny) for _ in params]
        out.append((name, params, qubits))
    return n, out


def op_count(circuit):
    return len(support.parse_ops(qelto.to_qasm(circuit)))


@settings(max_examples=40, deadline=None)
@given(nearly_identity_circuits(), st.sampled_from(sorted(support.BASES)), st.sampled_from([1e-4, 1e-3]))
def test_simplify_moves_the_action_by_at_most_the_tolerance_per_piece(circuit, basis_name, tolerance):
    n, ops = circuit
    basis = support.BASES[basis_name]()
    c = qelto.translate(support.build(n, ops), basis)
    out = support.parse_ops(qelto.to_qasm(qelto.simplify(c, basis, tolerance=tolerance)))
    bound = tolerance * PIECES_PER_OP * max(op_count(c), 1)
    assert action_distance(n, ops, out, list(range(n)), list(range(n))) <= bound + 1e-7


@settings(max_examples=25, deadline=None)
@given(nearly_identity_circuits(), st.sampled_from(sorted(support.MAPS)), st.sampled_from(sorted(support.BASES)))
def test_compile_moves_the_action_by_at_most_the_tolerance_per_piece(circuit, map_name, basis_name):
    n, ops = circuit
    tolerance = 1e-4
    basis = support.BASES[basis_name]()
    c = support.build(n, ops)
    target = qelto.PropertySet().with_target(support.MAPS[map_name](), basis)
    out = qelto.compile(c, target, seed=5, tolerance=tolerance)

    # The same passes one by one give the same circuit and count what the
    # two simplifications read.
    prepared_from = qelto.unroll(c)
    prepared = qelto.simplify(prepared_from, basis, resynthesize=False, tolerance=tolerance)
    passes = qelto.PropertySet().with_target(support.MAPS[map_name](), basis)
    passes.set_layout(qelto.layout(prepared, passes, seed=5))
    translated = qelto.translate(qelto.route(prepared, passes, seed=5), basis)
    assert qelto.to_qasm(qelto.simplify(translated, basis, tolerance=tolerance)) == qelto.to_qasm(out)

    start = support.physical_list(target.get_initial_layout(), n)
    end = support.physical_list(target.get_layout(), n)
    bound = tolerance * PIECES_PER_OP * (op_count(prepared_from) + op_count(translated) + 1)
    assert action_distance(n, ops, support.parse_ops(qelto.to_qasm(out)), start, end) <= bound + 1e-7


@settings(max_examples=20, deadline=None)
@given(nearly_identity_circuits(), st.sampled_from(sorted(support.BASES)))
def test_a_zero_tolerance_is_the_default(circuit, basis_name):
    n, ops = circuit
    basis = support.BASES[basis_name]()
    c = support.build(n, ops)
    assert qelto.to_qasm(qelto.simplify(c, basis, tolerance=0.0)) == qelto.to_qasm(qelto.simplify(c, basis))
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(8), basis)
    default = qelto.PropertySet().with_target(qelto.CouplingMap.linear(8), basis)
    assert qelto.to_qasm(qelto.compile(c, target, seed=1, tolerance=0)) == qelto.to_qasm(
        qelto.compile(c, default, seed=1)
    )


# cp(theta), crz(theta) and rzz(theta) are 2 sin(|theta| / 4) from the
# identity up to phase, rz(theta) 2 sin(|theta| / 4) too: dropped at
# |theta| <= about twice the tolerance, kept beyond.
@pytest.mark.parametrize("name", ["cp", "crz", "rzz", "rz", "rx"])
@pytest.mark.parametrize("factor, dropped", [(1.9, True), (-1.9, True), (2.1, False), (-2.1, False)])
def test_a_rotation_is_dropped_exactly_when_it_is_within_the_tolerance(name, factor, dropped):
    tolerance = 1e-5
    qubits = [0, 1] if name in ("cp", "crz", "rzz") else [0]
    c = qelto.Circuit("c", num_qubits=2)
    getattr(c, name)(factor * tolerance, *qubits)
    for basis in (qelto.BasisGates.universal(), qelto.BasisGates.ibm()):
        assert (op_count(qelto.simplify(c, basis, tolerance=tolerance)) == 0) == dropped
        assert op_count(qelto.simplify(c, basis)) > 0


def test_the_tiny_phases_of_a_qft_are_left_out_before_routing():
    n = 30
    c = qelto.Circuit("qft", num_qubits=n)
    for i in range(n):
        c.h(i)
        for j in range(1, n - i):
            c.cp(math.pi / 2**j, i + j, i)
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(n), qelto.BasisGates.ibm())
    exact = op_count(qelto.compile(c, target, seed=1))
    # Phases below 2e-6 rad (pi / 2**21 and smaller) go: 9 + 8 + ... + 1.
    approximate = qelto.compile(c, target, seed=1, tolerance=1e-6)
    assert op_count(approximate) < exact
    kept = [p for name, params, _ in support.parse_ops(qelto.to_qasm(approximate)) for p in params if name == "rz"]
    assert kept  # the circuit is still there


@pytest.mark.parametrize("function", ["compile", "simplify"])
@pytest.mark.parametrize(
    "tolerance, error, message",
    [
        (-1e-9, ValueError, "argument 'tolerance': must be a finite number >= 0, not -1e-09"),
        (math.nan, ValueError, "argument 'tolerance': must be a finite number >= 0, not nan"),
        (math.inf, ValueError, "argument 'tolerance': must be a finite number >= 0, not inf"),
        (True, TypeError, "argument 'tolerance': 'bool' object cannot be converted to 'float'"),
        ("1e-6", TypeError, "argument 'tolerance': must be real number, not str"),
        (None, TypeError, "argument 'tolerance': must be real number, not NoneType"),
    ],
)
def test_bad_tolerances_are_refused_and_change_nothing(function, tolerance, error, message):
    c = support.build(2, [("cx", [], [0, 1])])
    target = qelto.PropertySet().with_target(qelto.CouplingMap.linear(2), qelto.BasisGates.ibm())
    call = {
        "compile": lambda: qelto.compile(c, target, tolerance=tolerance),
        "simplify": lambda: qelto.simplify(c, qelto.BasisGates.ibm(), tolerance=tolerance),
    }[function]
    with pytest.raises(error) as raised:
        call()
    assert str(raised.value) == message
    assert target.get_layout() is None


def test_the_tolerance_is_keyword_only():
    c = support.build(2, [("cx", [], [0, 1])])
    with pytest.raises(TypeError):
        qelto.simplify(c, qelto.BasisGates.ibm(), True, 1e-6)
