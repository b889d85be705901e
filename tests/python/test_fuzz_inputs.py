"""The fuzzers' round-trip property (fuzz/roundtrip.py) over the seed corpus,
every input a fuzzer has found (fuzz/regressions), and programs drawn by
hypothesis through the fuzzers' own generator."""

import math
import pathlib
import sys

import pytest
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

FUZZ = pathlib.Path(__file__).resolve().parents[2] / "fuzz"
sys.path.insert(0, str(FUZZ))

import grammar  # noqa: E402
import roundtrip  # noqa: E402

INPUTS = sorted((FUZZ / "corpus").glob("*")) + sorted((FUZZ / "regressions").glob("*"))


@pytest.mark.parametrize("path", INPUTS, ids=lambda p: "%s/%s" % (p.parent.name, p.name))
def test_fuzz_inputs_keep_the_round_trip(path):
    roundtrip.check_round_trip(path.read_bytes().decode("utf-8", "replace"))


class _HypothesisProvider:
    """The part of atheris.FuzzedDataProvider the generator uses."""

    def __init__(self, data):
        self._data = data

    def ConsumeIntInRange(self, low, high):  # noqa: N802 (atheris's name)
        return self._data.draw(st.integers(low, high))


@settings(max_examples=300, deadline=None, suppress_health_check=[HealthCheck.too_slow])
@given(st.data())
def test_generated_programs_keep_the_round_trip(data):
    roundtrip.check_round_trip(grammar.program(grammar.Choices(_HypothesisProvider(data))))


@pytest.mark.parametrize(
    "text, reads",
    [
        ("OPENQASM 3.0; qubit[3] q; bit c; id q; h q;", True),
        ("qubit[256] q; bit[256] c; c = measure q;", True),
        ("qubit/* hidden */[100000000] q;", False),
        ("qubit[200] q; qreg r[57];", False),
        ("bit[" + "9" * 5000 + "] c;", False),
        ("qubit[256] q; " + "barrier q; " * 257, False),
    ],
    ids=["small", "at_the_limits", "hidden_size", "past_max_qubits", "huge_size", "past_max_operations"],
)
def test_the_harness_limits_bound_what_an_input_builds(text, reads):
    assert roundtrip.check_round_trip(text) is reads


@pytest.mark.parametrize(
    "text, value",
    [
        ("pi/2", math.pi / 2),
        ("-pi/4", -math.pi / 4),
        ("(pi / 2.000000)", math.pi / 2),
        ("-((1.500000 - -0.500000))", -2.0),
        ("((2.000000 * 3.000000) / 4.000000)", 1.5),
        ("-inf", -math.inf),
    ],
)
def test_written_parameters_evaluate(text, value):
    assert roundtrip.parameter_value(text) == value


HEADER = "OPENQASM 3.0;\n\nqubit[2] q;\n\n"


@pytest.mark.parametrize(
    "first, second",
    [
        ("rx(0.500000) q[0];\n", "rx(0.500001) q[0];\n"),
        ("h q[0];\nx q[0];\n", "x q[0];\nh q[0];\n"),
        ("cx q[0], q[1];\n", "cx q[1], q[0];\n"),
        ("u(a, b, c) q[0];\n", "u(a, c, b) q[0];\n"),
        ("barrier;\n", ""),
    ],
)
def test_the_comparison_sees_changed_operations(first, second):
    assert not roundtrip._same_operations(HEADER + first, HEADER + second, exact=False)
    assert not roundtrip._same_operations(HEADER + first, HEADER + second, exact=True)


def test_the_first_trip_accepts_pi_written_as_an_expression():
    assert roundtrip._same_operations(
        HEADER + "rz(pi/2) q[0];\n", HEADER + "rz((pi / 2.000000)) q[0];\n", exact=False
    )


# Found by the C++ fuzzer: an angle nested 128 to 255 levels deep read, but
# the writer parenthesises every negation and binary operation, so the text
# it wrote nested twice as deep and the reader refused it for nesting beyond
# 256 levels. Expressions now nest as deep as their text; angles expanded
# from gate definitions nest deeper than any one text of them.
SUBSTITUTION_CHAIN = (
    "gate g0(t) a { rx(" + "-" * 200 + "t) a; } "
    + "".join("gate g%d(t) a { g%d(%st + 1) a; } " % (i, i - 1, "-" * 200) for i in range(1, 40))
)


@pytest.mark.parametrize(
    "angle",
    ["-" * 128 + "a", "a" + " - a" * 128, "-" * 255 + "a", "a" + " - a" * 255,
     "-" * 20000 + "a", "a" + " - a" * 20000, "(" * 20000 + "a" + ")" * 20000,
     "(a - " * 5000 + "a" + ")" * 5000, "sin(" * 5000 + "1" + ")" * 5000 + " - a"],
    ids=["negations-128", "chain-128", "negations-255", "chain-255", "negations-20000",
         "chain-20000", "parentheses-20000", "right-nested-5000", "calls-5000"],
)
@pytest.mark.parametrize("portable", [False, True])
def test_an_accepted_deep_angle_reads_back_after_writing(angle, portable):
    from qelto import from_qasm, to_qasm

    circuit = from_qasm("OPENQASM 3.0; qubit q; rx(%s) q;" % angle)
    text = to_qasm(circuit, portable=portable)
    again = from_qasm(text)
    assert again.depth() == circuit.depth()
    assert to_qasm(again, portable=portable) == text


@pytest.mark.parametrize("portable", [False, True])
def test_an_angle_expanded_from_definitions_reads_back_after_writing(portable):
    from qelto import from_qasm, to_qasm

    circuit = from_qasm("qubit q; " + SUBSTITUTION_CHAIN + "g39(b) q;")
    text = to_qasm(circuit, portable=portable)
    assert text.count("(") > 40 * 200
    assert to_qasm(from_qasm(text), portable=portable) == text
