import math

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

from qelto import Circuit, QubitId, from_qasm, to_qasm

BELL_TEXT = (
    "OPENQASM 3.0;\n\nqubit[2] q;\nbit[2] c;\n\n"
    "h q[0];\ncx q[0], q[1];\nc[1] = measure q[1];\nc[0] = measure q[0];\n"
)


def test_bell_text():
    assert to_qasm(Circuit.bell()) == BELL_TEXT
    assert to_qasm(circuit=Circuit.bell()) == BELL_TEXT


def test_from_qasm_builds_a_named_circuit():
    c = from_qasm(qasm="OPENQASM 3.0; qubit[2] q; bit[2] c; h q[0]; cx q[0], q[1]; c = measure q;")
    assert repr(c) == "Circuit('qasm_circuit', num_qubits=2, num_clbits=2, depth=3)"


def test_functions_are_module_builtins():
    assert from_qasm.__module__ == to_qasm.__module__ == "qelto"
    assert from_qasm.__text_signature__ == (
        "(qasm, *, max_qubits=16777216, max_clbits=16777216, max_operations=33554432,"
        " keep_identity=False)"
    )
    assert to_qasm.__text_signature__ == "(circuit, *, portable=False)"
    assert from_qasm.__doc__.startswith("Parse an OpenQASM 3 string into a Circuit.\n")
    assert to_qasm.__doc__.endswith("    cx q[0], q[1];")


@pytest.mark.parametrize("call,message", [
    (lambda: from_qasm(1), "argument 'qasm': 'int' object cannot be converted to 'PyString'"),
    (lambda: to_qasm("x"), "argument 'circuit': 'str' object cannot be converted to 'Circuit'"),
    (lambda: to_qasm(None), "argument 'circuit': 'NoneType' object cannot be converted to 'Circuit'"),
    (lambda: from_qasm(), "from_qasm() missing 1 required positional argument: 'qasm'"),
    (lambda: to_qasm(Circuit("a"), 1), "to_qasm() takes 1 positional arguments but 2 were given"),
    (lambda: from_qasm(text=""), "from_qasm() got an unexpected keyword argument 'text'"),
])
def test_argument_errors(call, message):
    with pytest.raises(TypeError) as info:
        call()
    assert str(info.value) == message


@pytest.mark.parametrize("source,message", [
    ("OPENQASM 3.0; qubit[1] q; bit[1] c; if (c == 1) x q[0];",
     "Parse Error: Parse error: If statements not yet supported"),
])
def test_parse_errors_carry_both_prefixes(source, message):
    with pytest.raises(RuntimeError) as info:
        from_qasm(source)
    assert str(info.value) == message


@pytest.mark.parametrize("source", ["qubit q", "OPENQASM 3.0; qubit[2] q; h q[2];", "h $;", "@"])
def test_bad_programs_raise_parse_errors(source):
    with pytest.raises(RuntimeError) as info:
        from_qasm(source)
    assert str(info.value).startswith("Parse Error: ")


def test_lone_surrogates_raise_the_encoding_error():
    with pytest.raises(UnicodeEncodeError):
        from_qasm("qubit q;\ud800")


def test_to_qasm_reads_without_changing():
    c = Circuit.ghz(3)
    before = repr(c)
    assert to_qasm(c) == to_qasm(c)
    assert repr(c) == before


# Operations a random circuit is built from: (method, number of angles, qubits).
OPERATIONS = [
    ("h", 0, 1), ("x", 0, 1), ("sdg", 0, 1), ("sx", 0, 1), ("rz", 1, 1),
    ("p", 1, 1), ("u", 3, 1), ("prx", 2, 1), ("cx", 0, 2), ("cz", 0, 2),
    ("swap", 0, 2), ("iswap", 0, 2), ("cp", 1, 2), ("crz", 1, 2),
    ("ccx", 0, 3), ("cswap", 0, 3), ("reset", 0, 1),
]

angles = st.sampled_from([0.0, 0.5, -1.25, 3.141592653589793, 1.5707963267948966, 2.0])


@st.composite
def random_circuits(draw):
    n = draw(st.integers(min_value=3, max_value=5))
    c = Circuit("r", n, n)
    steps = draw(st.lists(st.tuples(st.sampled_from(OPERATIONS), st.permutations(range(n)),
                                    st.lists(angles, min_size=3, max_size=3)), max_size=25))
    for (name, num_angles, num_qubits), order, values in steps:
        getattr(c, name)(*values[:num_angles], *order[:num_qubits])
    if draw(st.booleans()):
        c.measure_all()
    return c


def statement(line):
    """A statement as (name, parameter values, operands); parameters compare by value."""
    head, _, operands = line.rstrip(";").partition(" q[")
    name, _, params = head.partition("(")
    values = ()
    if params:
        values = tuple(round(eval(p, {"pi": math.pi}), 6) for p in params[:-1].split(", "))
    return name, values, "q[" + operands


def per_wire_sequences(text):
    """The statements touching each qubit, in order: what any topological order keeps."""
    wires = {}
    for line in text.splitlines()[3:]:
        if not line or line.startswith("bit["):
            continue
        for q in [part.split("]")[0] for part in line.split("q[")[1:]]:
            wires.setdefault(q, []).append(statement(line))
    return wires


@settings(max_examples=150, deadline=None)
@given(random_circuits())
def test_round_trip_keeps_counts_and_wire_order(c):
    text = to_qasm(c)
    back = from_qasm(text)
    assert (back.num_qubits, back.num_clbits) == (c.num_qubits, c.num_clbits)
    assert back.depth() == c.depth()
    assert per_wire_sequences(to_qasm(back)) == per_wire_sequences(text)


@settings(max_examples=300, deadline=None)
@given(st.text(alphabet=st.characters(blacklist_categories=["Cs"]), max_size=80))
def test_any_text_gives_a_circuit_or_a_runtime_error(source):
    try:
        from_qasm(source)
    except RuntimeError as error:
        assert str(error).startswith("Parse Error: ")


VALID = "OPENQASM 3.0;\nqubit[3] q;\nbit[3] c;\nh q[0];\ncx q[0], q[1];\nrz(pi/4) q[2];\nc = measure q;\n"


@settings(max_examples=300, deadline=None)
@given(st.integers(0, len(VALID)), st.integers(0, 6), st.text(max_size=6))
def test_edited_programs_give_a_circuit_or_a_runtime_error(at, cut, insert):
    source = VALID[:at] + insert.encode("utf-8", "replace").decode("utf-8") + VALID[at + cut:]
    try:
        from_qasm(source)
    except RuntimeError as error:
        assert str(error).startswith("Parse Error: ")


@pytest.mark.parametrize("build", [
    "'OPENQASM 3.0; qubit q; rz(' + '(' * 100000 + '1' + ')' * 100000 + ') q;'",
    "'OPENQASM 3.0; qubit q; rz(' + '-' * 100000 + '1) q;'",
    "'OPENQASM 3.0; qubit q; rz(' + '+'.join(['1'] * 100000) + ') q;'",
    "'OPENQASM 3.0; qubit q; rz(' + 'sin(' * 100000 + '1' + ')' * 100000 + ') q;'",
    "'OPENQASM 3.0; qubit q; ' + '{' * 100000 + '}' * 100000",
])
def test_deep_nesting_gives_a_clean_error(run_isolated, build):
    result = run_isolated(f"""
        import qelto
        source = {build}
        try:
            qelto.from_qasm(source)
            print("circuit")
        except RuntimeError as error:
            print("error", str(error)[:60])
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.startswith(("error Parse Error: ", "circuit"))


def test_unallocatable_declaration_is_refused_by_the_default_limit(run_isolated):
    result = run_isolated("""
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
        import qelto
        try:
            qelto.from_qasm("OPENQASM 3.0; qubit[4294967295] q;")
        except qelto.QasmError as error:
            print("max_qubits" in str(error))
        print(qelto.from_qasm("OPENQASM 3.0; qubit[2] q; h q[0];").num_qubits)
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["True", "2"]


def test_quoted_identifiers_round_trip_by_value():
    c = Circuit("c", 1).rz(0.1, QubitId(0))
    assert "rz(0.100000) q[0];" in to_qasm(c)
