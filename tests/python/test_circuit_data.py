"""Circuits as data: reading, copying, pickling, composing, inverting,
binding and drawing."""

import copy
import math
import pickle

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

import qelto

# ---- random circuits built through the builders, with the operations the
# calls should have added (name, qubit indices, clbit indices, params,
# duration).

ONE_QUBIT = ["h", "x", "y", "z", "s", "sdg", "t", "tdg", "sx"]
ONE_ANGLE = ["rx", "ry", "rz", "p"]
TWO_QUBIT = ["cx", "cy", "cz", "swap", "iswap"]
NUM_QUBITS = 4

angles = st.floats(min_value=-10, max_value=10, allow_nan=False)
qubit_pairs = st.permutations(range(NUM_QUBITS)).map(lambda p: tuple(p[:3]))


@st.composite
def builder_calls(draw):
    kind = draw(st.sampled_from(
        ["one", "angle", "u", "prx", "two", "cp", "crz", "ccx", "cswap",
         "measure", "reset", "delay", "barrier"]))
    q = draw(qubit_pairs)
    if kind == "one":
        name = draw(st.sampled_from(ONE_QUBIT))
        return name, (q[0],), (), ()
    if kind == "angle":
        name = draw(st.sampled_from(ONE_ANGLE))
        return name, (q[0],), (), (draw(angles),)
    if kind == "u":
        return "u", (q[0],), (), (draw(angles), draw(angles), draw(angles))
    if kind == "prx":
        return "prx", (q[0],), (), (draw(angles), draw(angles))
    if kind == "two":
        return draw(st.sampled_from(TWO_QUBIT)), q[:2], (), ()
    if kind in ("cp", "crz"):
        return kind, q[:2], (), (draw(angles),)
    if kind in ("ccx", "cswap"):
        return kind, q, (), ()
    if kind == "measure":
        return "measure", (q[0],), (q[1],), ()
    if kind == "reset":
        return "reset", (q[0],), (), ()
    if kind == "delay":
        return "delay", (q[0],), (), draw(st.integers(0, 2**64 - 1))
    return "barrier", tuple(range(NUM_QUBITS)), (), ()


def build(calls, name="random"):
    qc = qelto.Circuit(name, NUM_QUBITS, NUM_QUBITS)
    for name_, qubits, clbits, params in calls:
        if name_ == "measure":
            qc.measure(qubits[0], clbits[0])
        elif name_ == "delay":
            qc.delay(qubits[0], params)
        elif name_ == "barrier":
            qc.barrier_all()
        else:
            getattr(qc, name_)(*params, *qubits)
    return qc


def fields(op):
    return (op.name, tuple(q.index for q in op.qubits),
            tuple(c.index for c in op.clbits), op.params, op.duration)


def expected_fields(call):
    name, qubits, clbits, params = call
    if name == "delay":
        return name, qubits, clbits, (), params
    return name, qubits, clbits, tuple(float(p) for p in params), None


def same_circuit(a, b):
    assert a.name == b.name
    assert (a.num_qubits, a.num_clbits) == (b.num_qubits, b.num_clbits)
    assert list(a) == list(b)
    assert a.parameters == b.parameters
    assert a.draw() == b.draw()  # also shows register names
    assert qelto.to_qasm(a) == qelto.to_qasm(b)


calls_lists = st.lists(builder_calls(), max_size=30)


# ---- reading

@settings(max_examples=150, deadline=None)
@given(calls_lists)
def test_iteration_follows_the_builder_calls(calls):
    qc = build(calls)
    expected = [expected_fields(c) for c in calls]
    assert len(qc) == len(expected)
    assert [fields(op) for op in qc] == expected
    for i in range(len(expected)):
        assert fields(qc[i]) == expected[i]
        assert qc[i - len(expected)] == qc[i]
    counts = {}
    for name, *_ in expected:
        counts[name] = counts.get(name, 0) + 1
    assert list(qc.count_ops().items()) == list(counts.items())


def test_iterator_sees_operations_added_while_iterating():
    qc = qelto.Circuit("c", 1).h(0)
    it = iter(qc)
    assert next(it).name == "h"
    qc.x(0)
    assert next(it).name == "x"
    with pytest.raises(StopIteration):
        next(it)


@pytest.mark.parametrize("index, error", [
    (2, IndexError), (-3, IndexError), (2**70, IndexError),
    (slice(0, 1), TypeError), ("0", TypeError),
])
def test_bad_indices_raise(index, error):
    qc = qelto.Circuit("c", 1).h(0).x(0)
    with pytest.raises(error):
        qc[index]


def test_symbolic_parameters_read_as_writer_text_and_constants_as_values():
    qc = qelto.from_qasm(
        "OPENQASM 3.0; qubit[1] q; rz(theta/2) q[0]; u(pi, b, pi/2) q[0];")
    assert qc[0].params == ("(theta / 2.000000)",)
    assert qc[1].params == (math.pi, "b", math.pi / 2)
    assert qc.parameters == ["b", "theta"]


def test_operation_is_an_immutable_hashable_value():
    a = qelto.Circuit("a", 2).cx(0, 1)[0]
    b = qelto.Circuit("b", 2).cx(0, 1)[0]
    other = qelto.Circuit("b", 2).cx(1, 0)[0]
    assert a == b and hash(a) == hash(b) and a != other
    assert len({a, b, other}) == 2
    assert repr(a) == ("Operation(name='cx', qubits=(QubitId(0), QubitId(1)), "
                       "clbits=(), params=())")
    d = qelto.Circuit("d", 1).delay(0, 5)[0]
    assert repr(d).endswith("params=(), duration=5)")
    with pytest.raises(AttributeError):
        a.name = "x"
    with pytest.raises(TypeError):
        qelto.Operation()
    assert copy.copy(a) is a and copy.deepcopy(a) is a
    assert "Operation" in qelto.__all__
    assert "_circuit_from_bytes" not in qelto.__all__


# ---- copies and pickles

def rich_circuit():
    qc = qelto.Circuit("rich")
    qc.add_qreg("a", 2)
    qc.h(0)
    qc.add_clbit()
    qc.add_qubit()
    qc.add_creg("m", 2)
    qc.rx(0.25, 2).cswap(2, 0, 1).measure_all().delay(1, 9).barrier_all()
    return qc


@pytest.mark.parametrize("duplicate", [
    lambda qc: qc.copy(),
    copy.copy,
    copy.deepcopy,
    *[lambda qc, p=p: pickle.loads(pickle.dumps(qc, protocol=p))
      for p in range(pickle.HIGHEST_PROTOCOL + 1)],
])
@pytest.mark.parametrize("make", [
    rich_circuit,
    lambda: qelto.from_qasm(
        "OPENQASM 3.0; qubit[2] q; bit[1] c; rz(-(a + b) * pi) q[1];"
        "cx q[1], q[0]; c[0] = measure q[0];"),
    lambda: qelto.Circuit("empty"),
])
def test_copies_and_pickles_are_equal_and_independent(duplicate, make):
    qc = make()
    twin = duplicate(qc)
    assert twin is not qc
    same_circuit(twin, qc)
    before = list(qc)
    twin.add_qubit()
    twin.h(twin.num_qubits - 1)
    assert list(qc) == before


def test_copy_takes_a_new_name():
    assert qelto.Circuit("a", 1).h(0).copy(name="b").name == "b"


@pytest.mark.parametrize("data", [b"", b"junk", pickle.dumps(1)])
def test_loading_bad_bytes_raises_value_error(data):
    with pytest.raises(ValueError, match="Malformed circuit data"):
        qelto._circuit_from_bytes(data)


# ---- compose

def test_compose_maps_bits_and_chains():
    other = qelto.Circuit("o", 2, 1).cx(0, 1).measure(1, 0)
    qc = qelto.Circuit("t", 3, 2)
    assert qc.compose(other, qubits=[2, qelto.QubitId(0)], clbits=[1]) is qc
    assert [fields(op) for op in qc] == [
        ("cx", (2, 0), (), (), None), ("measure", (0,), (1,), (), None)]
    qc.compose(other).h(1)
    assert [op.name for op in qc] == ["cx", "measure", "cx", "measure", "h"]
    assert qc[2].qubits == (qelto.QubitId(0), qelto.QubitId(1))


def test_compose_onto_itself_doubles_the_circuit():
    qc = qelto.Circuit("c", 2).h(0).cx(0, 1)
    qc.compose(qc)
    assert [op.name for op in qc] == ["h", "cx", "h", "cx"]


def renamed(call, qubits, clbits):
    name, qs, cs, params = call
    return (name, tuple(qubits[q] for q in qs), tuple(clbits[c] for c in cs),
            params)


@settings(max_examples=100, deadline=None)
@given(calls_lists, calls_lists, st.permutations(range(NUM_QUBITS)),
       st.permutations(range(NUM_QUBITS)))
def test_compose_and_pickle_give_the_circuit_of_the_builder_calls(
        before, calls, qubits, clbits):
    # A barrier renamed is no longer barrier_all: the builders have none.
    calls = [c for c in calls if c[0] != "barrier"]
    qc = build(before, name="t")
    assert qc.compose(build(calls), qubits=qubits, clbits=clbits) is qc
    expected = build(before + [renamed(c, qubits, clbits) for c in calls],
                     name="t")
    same_circuit(qc, expected)
    assert qc.depth() == expected.depth()
    loaded = pickle.loads(pickle.dumps(qc))
    same_circuit(loaded, qc)
    assert loaded.depth() == qc.depth()


@pytest.mark.parametrize("kwargs, error, message", [
    ({"qubits": [0]}, ValueError, "1 qubits given for a circuit with 2"),
    ({"qubits": [0, 5]}, ValueError, "qubit 5 is not in the circuit"),
    ({"qubits": [1, 1]}, ValueError, "qubit 1 is given twice"),
    ({"clbits": [0, 0]}, ValueError, "2 clbits given for a circuit with 1"),
    ({"qubits": ["a", 0]}, TypeError, "argument 'qubits'"),
    ({"qubits": 3}, TypeError, "argument 'qubits'"),
])
def test_compose_errors_leave_the_circuit_unchanged(kwargs, error, message):
    other = qelto.Circuit("o", 2, 1).cx(0, 1)
    qc = qelto.Circuit("t", 3, 1).h(0)
    before = list(qc)
    with pytest.raises(error, match=message):
        qc.compose(other, **kwargs)
    assert list(qc) == before
    with pytest.raises(ValueError, match="fewer than the 2"):
        qelto.Circuit("small", 1).compose(other)
    with pytest.raises(TypeError):
        qc.compose("not a circuit")


# ---- assign_parameters

@settings(max_examples=60, deadline=None)
@given(st.lists(st.tuples(st.sampled_from(["rx", "rz", "cp", "u"]),
                          st.sampled_from(["a", "b", "a*2 + b", "-(a)/3",
                                           "pi - b", "c*a"])),
                min_size=1, max_size=8),
       # Non-negative, so that the text form of a value is a constant, as
       # the bound value is, not the negation of one.
       st.floats(0, 5), st.floats(0, 5))
def test_assign_parameters_matches_the_circuit_built_with_the_values(
        gates, a, b):
    def text(values):
        lines = ["OPENQASM 3.0;", "qubit[2] q;"]
        for name, expr in gates:
            for symbol, value in values.items():
                expr = expr.replace(symbol, f"({value!r})")
            if name == "cp":
                lines.append(f"cp({expr}) q[0], q[1];")
            elif name == "u":
                lines.append(f"u({expr}, {expr}, 0.5) q[1];")
            else:
                lines.append(f"{name}({expr}) q[0];")
        return "\n".join(lines)

    symbolic = qelto.from_qasm(text({}))
    values = {k: v for k, v in {"a": a, "b": b}.items()
              if k in symbolic.parameters}
    bound = symbolic.assign_parameters(values)
    direct = qelto.from_qasm(text(values))
    assert [op.params for op in bound] == [op.params for op in direct]
    assert bound.parameters == [p for p in symbolic.parameters if p == "c"]


def test_assign_parameters_errors():
    qc = qelto.from_qasm("OPENQASM 3.0; qubit[1] q; rz(theta) q[0];")
    with pytest.raises(KeyError, match="'phi', 'psi'"):
        qc.assign_parameters({"phi": 1.0, "theta": 1.0, "psi": 2})
    for bad in (math.nan, math.inf, -math.inf):
        with pytest.raises(ValueError, match="must be finite"):
            qc.assign_parameters({"theta": bad})
    with pytest.raises(TypeError):
        qc.assign_parameters({1: 2.0})
    with pytest.raises(TypeError):
        qc.assign_parameters([("theta", 1.0)])
    assert qc.parameters == ["theta"]


# ---- draw

BELL = """\
     ┌───┐     ┌─┐
q_0: ┤ H ├──■──┤M├───
     └───┘┌─┴─┐└╥┘┌─┐
q_1: ─────┤ X ├─╫─┤M├
          └───┘ ║ └╥┘
c_0: ═══════════╩══╬═
                   ║
c_1: ══════════════╩═"""

REGISTERS = """\
     ┌─────────┐
a_0: ┤ Rz(0.5) ├───
     └──┬───┬──┘┌─┐
a_1: ───┤ X ├───┤M├
        └─┬─┘   └╥┘
q_2: ─────■──────╫─
                 ║
m_0: ════════════╩═"""


def registers_circuit():
    qc = qelto.Circuit("r")
    qc.add_qreg("a", 2)
    qc.add_qubit()
    qc.add_creg("m", 1)
    return qc.rz(0.5, 0).cx(2, 1).measure(1, 0)


@pytest.mark.parametrize("make, text", [
    (qelto.Circuit.bell, BELL),
    (registers_circuit, REGISTERS),
    (lambda: qelto.Circuit("e"), ""),
])
def test_draw_exact_texts(make, text):
    assert make().draw() == text


def test_draw_folds_at_the_given_width():
    qc = qelto.Circuit("w", 1)
    for _ in range(40):
        qc.h(0)
    for fold in (20, 40, 80):
        lines = qc.draw(fold=fold).split("\n")
        assert max(len(line) for line in lines) <= fold
    assert "»" not in qc.draw(fold=0)
    assert "»" not in qc.draw(fold=-1)


def test_notebooks_show_the_diagram_and_repr_stays():
    class Printer:
        def text(self, value):
            self.value = value

    p = Printer()
    qc = qelto.Circuit.bell()
    qc._repr_pretty_(p, False)
    assert p.value == BELL
    assert repr(qc) == "Circuit('bell', num_qubits=2, num_clbits=2, depth=3)"
