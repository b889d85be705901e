"""Reading the OpenQASM that other toolkits write, and where reading fails."""

import pathlib
import re
import sys

import pytest

import qelto
from qelto import Circuit, QasmError, from_qasm, to_qasm

EXAMPLES = pathlib.Path(__file__).resolve().parents[1] / "data" / "openqasm" / "examples"


def operations(text):
    """The operation lines of a text written by to_qasm."""
    return [line for line in to_qasm(from_qasm(text)).splitlines()[4:] if line]


@pytest.mark.parametrize("source,expected", [
    pytest.param('OPENQASM 2.0;\ninclude "qelib1.inc";\nqreg q[2];\ncreg c[2];\n'
                  "U(0, 0, pi) q[0];\nCX q[0], q[1];\nmeasure q -> c;\n",
                  ["u(0.000000, 0.000000, pi) q[0];", "cx q[0], q[1];",
                   "c[1] = measure q[1];", "c[0] = measure q[0];"], id="openqasm2"),
    pytest.param("qubit[2] q; h q[0];", ["h q[0];"], id="without_version_line"),
    pytest.param('include "stdgates.inc"; qreg q[1]; x q[0];', ["x q[0];"],
                 id="qreg_in_openqasm3"),
    pytest.param("qubit[2] a; qubit[2] b; cx a, b;", ["cx q[0], q[2];", "cx q[1], q[3];"],
                 id="broadcast_pairs_registers"),
    pytest.param("qubit[2] q; delay[100] q[0]; delay[5dt] q[1];",
                 ["delay[100] q[0];", "delay[5] q[1];"], id="delay"),
    pytest.param("gate bell a, b { h a; cx a, b; } qubit[2] q; bell q[0], q[1];",
                 ["h q[0];", "cx q[0], q[1];"], id="gate_definition"),
    pytest.param("gate r(t) a { rz(t / 2) a; } gate rr(t) a, b { r(t) a; r(2 * t) b; }"
                 " qubit[2] q; rr(1) q[1], q[0];",
                 ["rz((1.000000 / 2.000000)) q[1];",
                  "rz(((2.000000 * 1.000000) / 2.000000)) q[0];"], id="nested_definitions"),
    pytest.param("gate cz a, b { h b; cx a, b; h b; } qubit[2] q; cz q[0], q[1];",
                 ["cz q[0], q[1];"], id="definition_of_a_catalogue_gate"),
])
def test_reads_what_other_toolkits_write(source, expected):
    # The writer names one register `q`; its order of independent
    # operations is its own.
    assert sorted(operations(source)) == sorted(expected)


@pytest.mark.parametrize("source, kept", [
    ("qubit[2] q; id q[1]; x q[0];", ["id q[1];", "x q[0];"]),
    ("qubit[2] q; ID q;", ["id q[0];", "id q[1];"]),
    ("qubit q; i q;", ["id q[0];"]),
    ('OPENQASM 2.0; include "qelib1.inc"; qreg q[1]; u0(0.5) q[0];', ["id q[0];"]),
    ("gate g a { id a; h a; } qubit q; g q;", ["id q[0];", "h q[0];"]),
], ids=["id", "any_case_broadcast", "alias_i", "alias_u0", "in_a_definition"])
def test_identity_reads_as_the_catalogue_gate_when_kept(source, kept):
    def lines(circuit):
        return [line for line in to_qasm(circuit, portable=True).splitlines()[4:] if line]

    assert lines(from_qasm(source, keep_identity=True)) == kept
    assert lines(from_qasm(source)) == [line for line in kept if not line.startswith("id ")]


def test_keep_identity_is_keyword_only_and_takes_any_truth():
    class Unsure:
        def __bool__(self):
            raise ZeroDivisionError("no truth")

    source = "qubit q; id q;"
    assert from_qasm(source, keep_identity=[1]).count_ops() == {"id": 1}
    assert from_qasm(source, keep_identity=0).count_ops() == {}
    with pytest.raises(ZeroDivisionError):
        from_qasm(source, keep_identity=Unsure())
    with pytest.raises(TypeError, match="takes 1 positional arguments but 2 were given"):
        from_qasm(source, True)


def test_reading_its_own_delay_output():
    circuit = Circuit("d", num_qubits=1)
    circuit.delay(0, 100)
    text = to_qasm(circuit)
    assert to_qasm(from_qasm(text)) == text


@pytest.mark.parametrize("source,msg", [
    ("qubit q; measure q;",
     "Parse error: A measurement needs a target: 'c = measure q;' or 'measure q -> c;'"),
    ("qubit[3] q; bit[2] c; c = measure q;", "Parse error: A measurement of 3 qubits into 2 bits"),
    ("qubit q; h(0.1) q[0];", "Gate 'h' expects 0 parameters, got 1"),
    ("qubit[2] a; qubit[3] b; cx a, b;",
     "Parse error: Registers of different sizes (2 and 3) in one call of 'cx'"),
    ("qubit q; rx(cos(1/0)) q;", "Parse error: Angle is not a finite number (nan)"),
    ("qubit q; delay[10ns] q;",
     "Parse error: delay unit 'ns' is not supported: durations are read in dt"),
    ("qubit[2] q; ctrl @ x q[0], q[1];", "Parse error: gate modifiers are not supported"),
    ("qubit q; inv @ s q;", "Parse error: gate modifiers are not supported"),
    ("qubit q; gphase(pi);", "Unexpected token at line 1: expected identifier, found ;"),
    ("qubit q; gphase(pi) q;", "Parse error: global phase (gphase) is not supported"),
    ("while (true) { }", "Parse error: while loops are not supported"),
    ("def f() { }", "Parse error: subroutines (def) are not supported"),
    ("const int n = 1;", "Parse error: const declarations are not supported"),
    ("input float t;", "Parse error: input and output declarations are not supported"),
    ("float t = 1.0;", "Parse error: classical types are not supported"),
])
def test_refusals_name_their_cause(source, msg):
    with pytest.raises(QasmError) as info:
        from_qasm(source)
    assert info.value.msg == msg
    assert str(info.value) == "Parse Error: " + msg


@pytest.mark.parametrize("source,line,column,pos", [
    ("qubit q;\n  hh q;", 2, 3, 11),
    ("qubit q;\nh q q;", 2, 5, 13),
    ("qubit q;\ncx q, r;", 2, 7, 15),
    ("// é\nqubit q; h q[3];", 2, 12, 17),
    ("qubit q; $", 1, 10, 9),
    ("qubit q\n", 2, 1, 8),
])
def test_errors_carry_their_place(source, line, column, pos):
    with pytest.raises(QasmError) as info:
        from_qasm(source)
    error = info.value
    assert (error.line, error.column, error.pos) == (line, column, pos)
    assert source.encode()[:pos].count(b"\n") + 1 == line


def test_error_is_a_runtime_error_listed_after_the_first_nine_names():
    assert issubclass(QasmError, RuntimeError)
    # Names added later (compile, Operation) follow it.
    assert qelto.__all__[9] == "QasmError"
    assert QasmError.__module__ == "qelto"
    with pytest.raises(RuntimeError):
        from_qasm("qubit q; hh q;")


@pytest.mark.skipif(sys.version_info < (3, 11), reason="exception notes arrive in 3.11")
def test_note_points_at_the_column():
    with pytest.raises(QasmError) as info:
        from_qasm("qubit q;\n  hh q;\n")
    assert info.value.__notes__ == ["  hh q;\n  ^"]


def doubling_chain(levels, first="h x;"):
    text = "qubit q; gate g0 x { %s }" % first
    for i in range(1, levels + 1):
        text += f" gate g{i} x {{ g{i - 1} x; g{i - 1} x; }}"
    return text + f" g{levels} q;"


# Expanding a call takes work even when it makes no operation, so a chain
# over an empty definition, or one of identities, is refused as well.
@pytest.mark.parametrize("first", ["h x;", "", "id x;"], ids=["gates", "empty", "identity"])
def test_exponential_definitions_are_refused_quickly(first):
    with pytest.raises(QasmError) as info:
        from_qasm(doubling_chain(200, first))
    assert info.value.msg == "Parse error: Gate definitions expand to more than 1048576 operations"


NAMED_FEATURE = re.compile(r"(are not supported|not yet supported)")


@pytest.mark.parametrize("path", sorted(EXAMPLES.glob("*.qasm")), ids=lambda p: p.name)
def test_language_examples_read_or_name_what_they_lack(path):
    try:
        circuit = from_qasm(path.read_text(encoding="utf-8"))
    except QasmError as error:
        assert NAMED_FEATURE.search(error.msg), error.msg
    else:
        assert circuit.num_qubits > 0


def test_language_examples_are_present():
    # The examples are vendored; missing ones are a broken checkout, not a skip.
    assert len(list(EXAMPLES.glob("*.qasm"))) == 21
