"""Reading untrusted text: the default limits refuse what would exhaust
memory before it is spent, and no nesting the reader accepts overflows a
small thread stack."""

import pathlib

import pytest
from hypothesis import given, settings
from hypothesis import strategies as st

# Each form as a whole program: expressions nested 5,000 deep (they have no
# bound), definitions and statement bodies 255, one below their bound.
# Expressions and the expansion of gate definitions take no stack per
# level, so those read on any thread; statement bodies (which the reader
# refuses to lower anyway) may stop sooner with the nesting error on a
# small stack.
DEPTH = 255
DEEP = 5000
READ_ON_ANY_STACK = {
    "parentheses": "qubit q; rx(" + "(" * DEEP + "1" + ")" * DEEP + ") q;",
    "unary_operators": "qubit q; rx(" + "-" * DEEP + "1) q;",
    "calls": "qubit q; rx(" + "sin(" * DEEP + "1" + ")" * DEEP + ") q;",
    "binary_chain": "qubit q; rx(1" + " + 1" * DEEP + ") q;",
    "mixed_chain_and_parentheses": "qubit q; rx("
    + "(1 + " * DEEP
    + "1"
    + ")" * DEEP
    + ") q;",
    "gate_body": "gate g(a) r { rx("
    + "(" * DEEP
    + "a"
    + ")" * DEEP
    + ") r; } qubit q; g(0.5) q;",
    # Each definition calls the one before: expanded 256 deep.
    "definition_chain": "qubit q; gate g0 a { x a; } "
    + "".join("gate g%d a { g%d a; } " % (i, i - 1) for i in range(1, DEPTH + 1))
    + "g%d q;" % DEPTH,
    # Each of 64 definitions wraps its angle in 255 more negations: the angle
    # read nests 16,320 deep, and the text written from it twice that.
    "substituted_angles": "qubit q; gate g0(t) a { rx(" + "-" * DEPTH + "t) a; } "
    + "".join("gate g%d(t) a { g%d(%st) a; } " % (i, i - 1, "-" * DEPTH) for i in range(1, 64))
    + "g63(b) q;",
}
# Parsed on any stack, then refused as on the main thread.
REFUSED_ALIKE = {
    "calls_of_many_arguments": "qubit q; rx(" + "sin(1, " * DEEP + "1" + ")" * DEEP + ") q;",
    "unclosed_parentheses": "qubit q; rx(" + "(" * DEEP + "1) q;",
}
BODIES = {
    "blocks": "bit c; " + "if (c) { " * DEPTH + "}" * DEPTH,
    "statement_bodies": "bit c; qubit q; " + "if (c) " * DEPTH + "x q;",
    "gate_definitions_in_bodies": "gate g0 a { " * DEPTH + "}" * DEPTH,
}
NESTED_FORMS = {**READ_ON_ANY_STACK, **REFUSED_ALIKE, **BODIES}


@pytest.mark.parametrize("stack_kib", [64, 128])
def test_nesting_on_small_thread_stacks_reads_or_fails_cleanly(
    run_isolated, stack_kib
):
    # Every form is read, and what reads is written, on a fresh thread of the
    # given stack size, in a child process so that an overflow shows as a
    # failed run.
    result = run_isolated(f"""
        import sys
        import threading
        sys.path.insert(0, {str(pathlib.Path(__file__).parent)!r})
        import qelto
        from test_qasm_limits import NESTED_FORMS as forms
        threading.stack_size({stack_kib} * 1024)
        outcomes = {{}}
        def read(name, text):
            try:
                qelto.to_qasm(qelto.from_qasm(text), portable=True)
                outcomes[name] = "circuit"
            except qelto.QasmError as error:
                outcomes[name] = str(error)
        for name, text in forms.items():
            thread = threading.Thread(target=read, args=(name, text))
            thread.start()
            thread.join()
        for name in forms:
            print(name, "|", outcomes[name])
    """)
    from qelto import QasmError, from_qasm

    assert result.returncode == 0, result.stderr
    outcomes = dict(line.split(" | ", 1) for line in result.stdout.splitlines())
    assert outcomes.keys() == NESTED_FORMS.keys()
    for name in READ_ON_ANY_STACK:
        assert outcomes[name] == "circuit", (name, outcomes[name])
    for name, text in REFUSED_ALIKE.items():
        with pytest.raises(QasmError) as raised:
            from_qasm(text)
        assert outcomes[name] == str(raised.value), name
    for name in BODIES:
        # The statements the reader does not lower fail as on any stack, or
        # sooner with the nesting error.
        assert (
            "Nesting deeper than 256 levels" in outcomes[name]
            or "not yet supported" in outcomes[name]
            or "Only gate calls and barriers" in outcomes[name]
        ), (name, outcomes[name])


@pytest.mark.parametrize("name", sorted(READ_ON_ANY_STACK))
def test_nesting_on_the_main_thread_reads_every_form(name):
    from qelto import from_qasm

    assert from_qasm(READ_ON_ANY_STACK[name]).num_qubits == 1


# Texts of a few dozen bytes that ask for far more than the address-space
# limit below allows; the defaults refuse each before allocating.
OVERSIZED = [
    ("OPENQASM 3.0; qubit[100000000] q;", "max_qubits"),
    ("OPENQASM 3.0; bit[100000000] c;", "max_clbits"),
    ("qubit[16777216] a; qubit[16777216] b;", "max_qubits"),
    ("qubit[4294967295] q;", "max_qubits"),
    ("bit[16777216] a; qubit q; bit b;", "max_clbits"),
    # A million copies of a symbolic angle of forty nodes.
    ("qubit[1000000] q; rx(a" + " + a" * 19 + ") q;", "max_operations"),
]


def test_default_limits_refuse_oversized_programs_within_little_memory(
    run_isolated,
):
    result = run_isolated(f"""
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (1 << 30, 1 << 30))
        import qelto
        for text, limit in {OVERSIZED!r}:
            try:
                qelto.from_qasm(text)
                print("read", text)
            except qelto.QasmError as error:
                print(limit in str(error), str(error))
        print(qelto.from_qasm("qubit[2] q; h q;").num_qubits)
    """)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert [line.split()[0] for line in lines[:-1]] == ["True"] * len(OVERSIZED)
    assert lines[-1] == "2"


def test_limit_error_gives_the_line_and_column():
    from qelto import QasmError, from_qasm

    with pytest.raises(QasmError, match="max_qubits") as raised:
        from_qasm("OPENQASM 3.0;\nqubit[2] a;\n  qubit[100000000] b;")
    assert (raised.value.line, raised.value.column) == (3, 3)


# --- the options --------------------------------------------------------------

LIMITS = ("max_qubits", "max_clbits", "max_operations")


def test_limits_are_keyword_only_options_with_the_reader_defaults():
    import inspect

    from qelto import from_qasm

    parameters = list(inspect.signature(from_qasm).parameters.values())[1:]
    assert [(p.name, p.kind, p.default) for p in parameters[:3]] == [
        ("max_qubits", inspect.Parameter.KEYWORD_ONLY, 2**24),
        ("max_clbits", inspect.Parameter.KEYWORD_ONLY, 2**24),
        ("max_operations", inspect.Parameter.KEYWORD_ONLY, 2**25),
    ]
    with pytest.raises(TypeError, match=r"takes 1 positional arguments but 2 were given"):
        from_qasm("qubit q;", 1)


@pytest.mark.parametrize(
    "value, error",
    [(-1, OverflowError), (2**64, OverflowError), (1.5, TypeError), ("8", TypeError)],
    ids=["negative", "beyond_64_bits", "float", "str"],
)
@pytest.mark.parametrize("name", LIMITS)
def test_a_limit_that_is_no_count_raises_the_usual_conversion_error(name, value, error):
    from qelto import from_qasm

    with pytest.raises(error) as raised:
        from_qasm("qubit q;", **{name: value})
    if error is TypeError:
        assert str(raised.value).startswith("argument '%s': " % name)


@pytest.mark.parametrize("name", LIMITS)
def test_none_lifts_a_limit_and_zero_allows_nothing(name):
    from qelto import QasmError, from_qasm

    text = "qubit[3] q; bit[3] c; h q;"
    assert from_qasm(text, **{name: None}).num_qubits == 3
    with pytest.raises(QasmError, match="the limit " + name):
        from_qasm(text, **{name: 0})


# --- what the limits count, against a model of the counting rules ------------------

# Definitions every generated program holds. Per application, a call of a
# definition counts once and holds a copy of the angles given, and each
# operation it makes counts once and once more per node of its angles:
# `pair` makes two gates and a barrier on two qubits (1 + 4); `turn` one
# rotation by the angle given (1 + 1 + 2 * its nodes); `twice` calls turn
# by the angle given and by its sum with itself (1 + 2 * 2 + (1 + 2 * 3)
# per node of the angle given + 1 for the sum's own node).
DEFINITIONS = (
    "gate pair a, b { h a; cx a, b; barrier; }\n"
    "gate turn(t) a { rx(t) a; }\n"
    "gate twice(t) a { turn(t) a; turn(t + t) a; }\n"
)


@st.composite
def counted_programs(draw):
    """A program, one statement per line, and per line the qubits, bits and
    operations it adds by the reader's counting rules."""
    qubits = draw(st.lists(st.integers(1, 4), min_size=1, max_size=3))
    clbits = draw(st.lists(st.integers(1, 4), max_size=2))
    lines = [("qubit[%d] q%d;" % (n, i), n, 0, 0) for i, n in enumerate(qubits)]
    lines += [("bit[%d] c%d;" % (n, i), 0, n, 0) for i, n in enumerate(clbits)]
    lines += [(line, 0, 0, 0) for line in DEFINITIONS.splitlines()]
    for _ in range(draw(st.integers(0, 6))):
        r = draw(st.integers(0, len(qubits) - 1))
        n = qubits[r]
        partners = [i for i, m in enumerate(qubits) if m == n and i != r]
        measured = [i for i, m in enumerate(clbits) if m == n]
        forms = [
            ("h q%d;" % r, n),
            ("h q%d[%d];" % (r, n - 1), 1),
            ("rx(0.5) q%d;" % r, n),
            # A symbolic angle of three nodes, copied into each gate.
            ("rx(a + 1) q%d;" % r, 4 * n),
            ("reset q%d;" % r, n),
            ("barrier q%d;" % r, n),
            ("barrier;", sum(qubits)),
            ("turn(0.5) q%d;" % r, 4 * n),
            ("turn(b) q%d;" % r, 4 * n),
            ("turn(b + 1) q%d;" % r, 8 * n),
            ("twice(0.5) q%d;" % r, 14 * n),
            ("twice(b + 1) q%d;" % r, 28 * n),
        ]
        if partners:
            forms += [("cx q%d, q%d;" % (r, partners[0]), n), ("pair q%d, q%d;" % (r, partners[0]), 5 * n)]
        if measured:
            forms += [("c%d = measure q%d;" % (measured[0], r), n)]
        text, operations = draw(st.sampled_from(forms))
        lines.append((text, 0, 0, operations))
    return lines


@settings(max_examples=150, deadline=None)
@given(counted_programs(), st.sampled_from(LIMITS))
def test_a_program_reads_at_its_counts_and_fails_where_one_less_is_passed(lines, name):
    from qelto import QasmError, from_qasm

    text = "\n".join(line for line, *_ in lines)
    kind = LIMITS.index(name)
    totals = {limit: sum(counts[i] for _, *counts in lines) for i, limit in enumerate(LIMITS)}
    circuit = from_qasm(text, **totals)
    assert (circuit.num_qubits, circuit.num_clbits) == (totals["max_qubits"], totals["max_clbits"])
    if totals[name] == 0:
        return
    with pytest.raises(QasmError) as raised:
        from_qasm(text, **dict(totals, **{name: totals[name] - 1}))
    running = 0
    for number, (_, *counts) in enumerate(lines, start=1):
        running += counts[kind]
        if running == totals[name]:
            break
    assert "(the limit %s)" % name in raised.value.msg
    assert (raised.value.line, raised.value.column) == (number, 1)


# Each level doubles: g10 expands to 2^11 operations.
DEFINITION_CHAIN = (
    "qubit q;\ngate g0 a { h a; h a; }\n"
    + "".join("gate g%d a { g%d a; g%d a; }\n" % (i, i - 1, i - 1) for i in range(1, 11))
    + "g10 q;"
)


@pytest.mark.parametrize(
    "text, counted, line",
    [
        # 2^11 operations and 2^11 - 1 calls of definitions.
        (DEFINITION_CHAIN, 4095, 13),
        ("qubit[64] q;\nh q;\nx q;", 128, 3),
        ("qubit[4] a;\nqubit[4] b;\ncx a, b;\ncx b, a;", 8, 4),
    ],
    ids=["definition_chain", "broadcast_of_one_qubit_gates", "broadcast_of_pairs"],
)
def test_expansions_and_broadcasts_are_bounded_by_max_operations(text, counted, line):
    from qelto import QasmError, from_qasm

    with pytest.raises(QasmError, match="the limit max_operations") as raised:
        from_qasm(text, max_operations=counted - 1)
    assert raised.value.line == line
    assert from_qasm(text, max_operations=counted).num_qubits > 0


# --- the bound on memory ----------------------------------------------------------

# Texts of half a megabyte in the shapes that cost the reader most per byte
# of text, under limits scaled down from the defaults so that what the
# limits allow (about 100 bytes per qubit or bit and 60 per operation) stays
# small beside the 200 bytes per byte of text that the bound allows.
SCALED_LIMITS = {"max_qubits": 1 << 16, "max_clbits": 1 << 16, "max_operations": 1 << 17}
ALLOWED_BY_SCALED_LIMITS = 64 << 20
TEXT_BYTES = 1 << 19
COSTLY_SHAPES = {
    "long_definition": "qubit q; gate g a { " + "h a; " * (TEXT_BYTES // 5) + "} g q;",
    "many_registers": "".join("qubit r%d;" % i for i in range(TEXT_BYTES // 12)),
    "long_register_names": "".join("qubit %s%d;" % ("r" * 500, i) for i in range(TEXT_BYTES // 510)),
    "many_statements": "qubit q; " + "h q; " * (TEXT_BYTES // 5),
    "wide_broadcasts": "qubit[65536] q; " + "h q; " * (TEXT_BYTES // 5),
    "symbolic_broadcast": "qubit[65536] q; rx(a" + " + a" * (TEXT_BYTES // 4) + ") q;",
    "identities_on_a_wide_register": "qubit[65536] q; " + "id q; " * (TEXT_BYTES // 6),
    "many_operands": "qubit q; barrier " + "q, " * (TEXT_BYTES // 3) + "q;",
    "many_parameters": "qubit q; rx(" + "1, " * (TEXT_BYTES // 3) + "1) q;",
    "deep_parentheses": "qubit q; rx(" + "(" * (TEXT_BYTES // 2) + "1" + ")" * (TEXT_BYTES // 2) + ") q;",
    "deep_negation": "qubit q; rx(" + "-" * TEXT_BYTES + "a) q;",
    "long_comment": "qubit q; // " + "x" * TEXT_BYTES,
    "long_identifier": "qubit " + "x" * TEXT_BYTES + ";",
    "barriers_across_a_wide_definition": "gate g "
    + ", ".join("a%d" % i for i in range(4096))
    + " { "
    + "barrier; " * (TEXT_BYTES // 12)
    + "} qubit[4096] q; g "
    + ", ".join("q[%d]" % i for i in range(4096))
    + ";",
    "definition_chain": "qubit q; gate g0 a { h a; h a; } "
    + "".join("gate g%d a { g%d a; g%d a; } " % (i, i - 1, i - 1) for i in range(1, 40))
    + "g39 q;",
}


def test_reading_stays_within_two_hundred_bytes_per_byte_of_text(run_isolated):
    # Each text is read under an address-space limit of what the interpreter
    # uses already, 200 bytes per byte of text, and what the limits allow:
    # it reads or fails with a QasmError, never with a MemoryError.
    result = run_isolated(f"""
        import resource
        import sys
        sys.path.insert(0, {str(pathlib.Path(__file__).parent)!r})
        import qelto
        from test_qasm_limits import COSTLY_SHAPES as shapes, SCALED_LIMITS as limits

        def address_space():
            with open("/proc/self/status") as status:
                for line in status:
                    if line.startswith("VmSize:"):
                        return int(line.split()[1]) * 1024

        _, hard = resource.getrlimit(resource.RLIMIT_AS)
        for name, text in shapes.items():
            bound = address_space() + 200 * len(text) + {ALLOWED_BY_SCALED_LIMITS}
            resource.setrlimit(resource.RLIMIT_AS, (bound, hard))
            try:
                qelto.from_qasm(text, **limits)
                outcome = "read"
            except qelto.QasmError:
                outcome = "refused"
            except MemoryError:
                outcome = "out of memory"
            resource.setrlimit(resource.RLIMIT_AS, (hard, hard))
            print(name, outcome)
    """, timeout=600)
    assert result.returncode == 0, result.stderr
    outcomes = dict(line.split(" ", 1) for line in result.stdout.splitlines())
    assert outcomes.keys() == COSTLY_SHAPES.keys()
    assert "out of memory" not in outcomes.values(), outcomes
