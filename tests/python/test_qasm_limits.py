"""Reading untrusted text: the default limits refuse what would exhaust
memory before it is spent, and no nesting the reader accepts overflows a
small thread stack."""

import pytest

# Each form nested 255 levels deep, one below the reader's bound, as a whole
# program.
DEPTH = 255
NESTED_FORMS = {
    "parentheses": "qubit q; rx(" + "(" * DEPTH + "1" + ")" * DEPTH + ") q;",
    "unary_operators": "qubit q; rx(" + "-" * DEPTH + "1) q;",
    "calls": "qubit q; rx(" + "sin(" * DEPTH + "1" + ")" * DEPTH + ") q;",
    "binary_chain": "qubit q; rx(1" + " + 1" * (DEPTH - 1) + ") q;",
    "mixed_chain_and_parentheses": "qubit q; rx("
    + "(1 + " * (DEPTH // 2)
    + "1"
    + ")" * (DEPTH // 2)
    + ") q;",
    "blocks": "bit c; " + "if (c) { " * DEPTH + "}" * DEPTH,
    "statement_bodies": "bit c; qubit q; " + "if (c) " * DEPTH + "x q;",
    "gate_body": "gate g(a) r { rx("
    + "(" * (DEPTH - 1)
    + "a"
    + ")" * (DEPTH - 1)
    + ") r; } qubit q; g(0.5) q;",
}


@pytest.mark.parametrize("stack_kib", [64, 128])
def test_nesting_on_small_thread_stacks_reads_or_fails_cleanly(
    run_isolated, stack_kib
):
    # Every form is read on a fresh thread of the given stack size, in a
    # child process so that an overflow shows as a failed run.
    result = run_isolated(f"""
        import threading
        import qelto
        forms = {NESTED_FORMS!r}
        threading.stack_size({stack_kib} * 1024)
        outcomes = {{}}
        def read(name, text):
            try:
                qelto.from_qasm(text)
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
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert len(lines) == len(NESTED_FORMS)
    for line in lines:
        name, outcome = line.split(" | ", 1)
        # Deep forms read, or stop with the nesting error; the statements
        # the reader does not lower fail as they do on any stack.
        assert (
            outcome == "circuit"
            or "Nesting deeper than 256 levels" in outcome
            or "not yet supported" in outcome
        ), line


def test_nesting_on_the_main_thread_reads_at_the_bound():
    from qelto import from_qasm

    for name in ("parentheses", "unary_operators", "binary_chain", "gate_body"):
        assert from_qasm(NESTED_FORMS[name]).num_qubits == 1, name


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
