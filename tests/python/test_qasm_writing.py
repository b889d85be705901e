"""The writer: exact angles, non-finite angles refused, and the portable text."""

import math
import struct

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from gate_table import read_table
from qelto import Circuit, from_qasm, to_qasm

GATES, _ = read_table()
ANGLE_GATES = [g for g in GATES if g["params"]]


def bits(value):
    return struct.pack("<d", value)


def value_of(text):
    """The number an angle text denotes (the writer's forms only)."""
    return eval(text, {"__builtins__": {}}, {"pi": math.pi})


def written_angle(c):
    """The parameter text of the circuit's only gate line."""
    line = to_qasm(c).splitlines()[-1]
    return line[line.index("(") + 1 : line.rindex(")")]


def test_keyword_only_option_and_its_text_signature():
    c = Circuit("c", 1).h(0)
    assert to_qasm.__text_signature__ == "(circuit, *, portable=False)"
    assert to_qasm(c, portable=False) == to_qasm(c)
    assert to_qasm(c, portable=True) != to_qasm(c)
    with pytest.raises(TypeError, match=r"^to_qasm\(\) takes 1 positional arguments but 2 were given$"):
        to_qasm(c, True)
    with pytest.raises(TypeError, match="unexpected keyword argument 'portabel'"):
        to_qasm(c, portabel=True)


def test_portable_flag_uses_the_truth_of_any_object():
    class Unsure:
        def __bool__(self):
            raise ZeroDivisionError("no truth")

    c = Circuit("c", 1).delay(0, 5)
    assert "delay[5dt]" in to_qasm(c, portable=1)
    assert "delay[5]" in to_qasm(c, portable=[])
    with pytest.raises(ZeroDivisionError):
        to_qasm(c, portable=Unsure())


@pytest.mark.parametrize("value", [math.nan, math.inf, -math.inf])
@pytest.mark.parametrize("gate", ANGLE_GATES, ids=lambda g: g["name"])
def test_builders_refuse_non_finite_angles_by_parameter(gate, value):
    c = Circuit("c", len(gate["qubits"]))
    before = to_qasm(c)
    method = getattr(c, gate["name"])
    qubits = list(range(len(gate["qubits"])))
    for position, name in enumerate(gate["params"]):
        angles = [0.5] * len(gate["params"])
        angles[position] = value
        text = "nan" if math.isnan(value) else ("inf" if value > 0 else "-inf")
        message = f"^argument '{name}': angle must be finite, not {text}$"
        with pytest.raises(ValueError, match=message):
            method(*angles, *qubits)
        with pytest.raises(ValueError, match=message):
            method(**dict(zip(gate["params"], angles)), **dict(zip(gate["qubits"], qubits)))
    assert to_qasm(c) == before


finite = st.floats(allow_nan=False, allow_infinity=False)
near_named = st.sampled_from([math.pi, math.pi / 2, math.pi / 4, -math.pi / 2, -math.pi / 4]).flatmap(
    lambda v: st.sampled_from([v, math.nextafter(v, 10), math.nextafter(v, -10), v + 1e-12]))


@settings(max_examples=400, deadline=None)
@given(st.one_of(finite, near_named, st.integers(-10**6, 10**6).map(lambda k: k / 1000)))
def test_every_angle_is_written_and_read_back_bit_for_bit(value):
    c = Circuit("c", 1).rz(value, 0)
    text = written_angle(c)
    assert bits(value_of(text)) == bits(value)
    back = from_qasm(to_qasm(c))
    assert bits(value_of(written_angle(back))) == bits(value)


@pytest.mark.parametrize("value, text", [
    (0.5, "0.500000"), (-0.3, "-0.300000"), (1e-7, "1e-07"), (1 / 3, "0.3333333333333333"),
    (math.pi / 2, "pi/2"), (math.pi / 2 + 1e-12, "1.5707963267958966"), (-0.0, "-0.000000"),
])
def test_default_angle_texts(value, text):
    assert written_angle(Circuit("c", 1).rz(value, 0)) == text


# One entry per way an operation enters a circuit: every catalogue gate,
# measure, reset, delay and barrier.
def _apply_random(c, draw, n):
    kind = draw(st.sampled_from(GATES + ["measure", "reset", "delay", "barrier"]))
    if kind == "measure":
        c.measure(draw(st.integers(0, n - 1)), draw(st.integers(0, n - 1)))
    elif kind == "reset":
        c.reset(draw(st.integers(0, n - 1)))
    elif kind == "delay":
        c.delay(draw(st.integers(0, n - 1)), draw(st.integers(0, 10**12)))
    elif kind == "barrier":
        c.barrier_all()
    else:
        qubits = draw(st.permutations(range(n)))[: len(kind["qubits"])]
        angles = [draw(angle_values) for _ in kind["params"]]
        getattr(c, kind["name"])(*angles, *qubits)


angle_values = st.one_of(
    st.floats(-10, 10, allow_nan=False), st.sampled_from([0.0, -0.0, math.pi, math.pi / 2, -math.pi / 4, 1e-7]))


@st.composite
def circuits(draw, max_ops=30):
    n = draw(st.integers(5, 6))
    c = Circuit("r", n, n)
    for _ in range(draw(st.integers(0, max_ops))):
        _apply_random(c, draw, n)
    return c


@settings(max_examples=200, deadline=None)
@given(circuits())
def test_portable_text_reads_back_into_the_same_text(c):
    # The identity reads back only when kept; by default the reader drops
    # it, and nothing else.
    text = to_qasm(c, portable=True)
    assert to_qasm(from_qasm(text, keep_identity=True), portable=True) == text
    without_identities = "".join(line for line in text.splitlines(True) if not line.startswith("id "))
    assert to_qasm(from_qasm(text), portable=True) == without_identities
