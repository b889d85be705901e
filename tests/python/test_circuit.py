import math

import pytest

from qelto import Circuit, ClbitId, QubitId

GATES_1Q = ["h", "x", "y", "z", "s", "sdg", "t", "tdg", "sx"]
ROTATIONS = ["rx", "ry", "rz", "p"]
GATES_2Q = ["cx", "cy", "cz", "swap", "iswap"]
CONTROLLED_ROTATIONS = ["crz", "cp"]
GATES_3Q = ["ccx", "cswap"]

METHOD_ORDER = [
    "depth", "add_qubit", "add_clbit", "add_qreg", "add_creg", "h", "x", "y",
    "z", "s", "sdg", "t", "tdg", "sx", "rx", "ry", "rz", "p", "u", "cx", "cy",
    "cz", "swap", "iswap", "crz", "cp", "prx", "ccx", "cswap", "measure",
    "measure_all", "reset", "barrier_all", "delay", "bell", "ghz", "qft",
]


def state(c):
    return (c.num_qubits, c.num_clbits, c.depth(), repr(c))


def test_class_signature_and_doc(shown_class_signature):
    assert Circuit.__text_signature__ == shown_class_signature(
        "(name, num_qubits=0, num_clbits=0)")
    assert Circuit.__doc__.splitlines() == [
        "A quantum circuit.",
        "",
        "This class provides a high-level API for building quantum circuits",
        "with a fluent interface that supports method chaining.",
        "",
        "Example:",
        '    >>> qc = Circuit("bell", num_qubits=2)',
        "    >>> qc.h(0).cx(0, 1).measure_all()",
        "    >>> print(qc.depth())",
        "    3",
    ]


def test_every_method_is_present_with_a_text_signature():
    for name in METHOD_ORDER:
        method = getattr(Circuit, name)
        assert method.__text_signature__ is not None, name
    assert Circuit.rx.__text_signature__ == "($self, theta, qubit)"
    assert Circuit.ghz.__text_signature__ == "(n)"
    assert Circuit.reset.__doc__ == "Reset a qubit to |0\u27e9."
    assert Circuit.prx.__doc__.endswith(
        "PRX(\u03b8, \u03c6) = RZ(\u03c6) \u00b7 RX(\u03b8) \u00b7 RZ(-\u03c6)")
    assert Circuit.name.__doc__ == "Get the name of the circuit."


def test_new_circuit_is_empty():
    c = Circuit("c")
    assert (c.name, c.num_qubits, c.num_clbits, c.depth()) == ("c", 0, 0, 0)
    assert repr(c) == str(c) == "Circuit('c', num_qubits=0, num_clbits=0, depth=0)"


def test_name_is_printed_verbatim():
    assert repr(Circuit("it's\n")) == (
        "Circuit('it's\n', num_qubits=0, num_clbits=0, depth=0)")


def test_fluent_calls_return_the_same_object():
    c = Circuit("bell", num_qubits=2)
    assert c.h(0) is c
    assert c.cx(0, 1).measure_all() is c
    assert c.depth() == 3
    assert str(Circuit.bell()) == "Circuit('bell', num_qubits=2, num_clbits=2, depth=3)"
    assert Circuit("x").bell().name == "bell"


@pytest.mark.parametrize("qubit", [QubitId(1), 1, True])
def test_qubit_arguments_accept_ids_ints_and_bools(qubit):
    c = Circuit("c", 2).x(0)
    c.h(qubit)
    assert c.depth() == 1


@pytest.mark.parametrize("method,args", [
    *[(g, (0,)) for g in GATES_1Q],
    *[(g, (0.5, 0)) for g in ROTATIONS],
    ("u", (0.1, 0.2, 0.3, 0)),
    ("prx", (0.1, 0.2, 0)),
    *[(g, (0, 1)) for g in GATES_2Q],
    *[(g, (0.5, 0, 1)) for g in CONTROLLED_ROTATIONS],
    *[(g, (0, 1, 2)) for g in GATES_3Q],
    ("measure", (0, 0)),
    ("reset", (0,)),
    ("delay", (0, 100)),
])
def test_each_operation_adds_one_layer(method, args):
    c = Circuit("c", 3, 1)
    assert getattr(c, method)(*args) is c
    assert c.depth() == 1


@pytest.mark.parametrize("method,args,message", [
    ("h", (5,), "IR Error: Qubit QubitId(5) not found in circuit (gate: h)"),
    ("cx", (0, 0), "IR Error: Duplicate qubit QubitId(0) in operation (gate: cx)"),
    ("ccx", (0, 1, 1), "IR Error: Duplicate qubit QubitId(1) in operation (gate: ccx)"),
    ("measure", (0, 5), "IR Error: Classical bit ClbitId(5) not found in circuit"),
    ("reset", (9,), "IR Error: Qubit QubitId(9) not found in circuit"),
    ("rz", (1.0, 2), "IR Error: Qubit QubitId(2) not found in circuit (gate: rz)"),
])
def test_ir_errors_leave_the_circuit_unchanged(method, args, message):
    c = Circuit("c", 2, 2).h(0).cx(0, 1)
    before = state(c)
    with pytest.raises(RuntimeError) as info:
        getattr(c, method)(*args)
    assert str(info.value) == message
    assert state(c) == before


@pytest.mark.parametrize("call,error,message", [
    (lambda c: c.h(1.0), TypeError, "Expected QubitId or int"),
    (lambda c: c.h(-1), TypeError, "Expected QubitId or int"),
    (lambda c: c.h(2**32), TypeError, "Expected QubitId or int"),
    (lambda c: c.h("1"), TypeError, "Expected QubitId or int"),
    (lambda c: c.h(ClbitId(1)), TypeError, "Expected QubitId or int"),
    (lambda c: c.measure(0, QubitId(0)), TypeError, "Expected ClbitId or int"),
    (lambda c: c.rx("a", 0), TypeError, "argument 'theta': must be real number, not str"),
    (lambda c: c.rx("a", "b"), TypeError, "argument 'theta': must be real number, not str"),
    (lambda c: c.u(0, 0, None, 0), TypeError, "argument 'lam': must be real number, not NoneType"),
    (lambda c: c.delay("q", -1), OverflowError, "can't convert negative int to unsigned"),
    (lambda c: c.delay(0, 2**64), OverflowError, None),
    (lambda c: c.h(), TypeError, "Circuit.h() missing 1 required positional argument: 'qubit'"),
    (lambda c: c.u(), TypeError,
     "Circuit.u() missing 4 required positional arguments: 'theta', 'phi', 'lam', and 'qubit'"),
    (lambda c: c.cx(0), TypeError, "Circuit.cx() missing 1 required positional argument: 'target'"),
    (lambda c: c.cp(0.5), TypeError,
     "Circuit.cp() missing 2 required positional arguments: 'control' and 'target'"),
    (lambda c: c.h(0, 1), TypeError, "Circuit.h() takes 1 positional arguments but 2 were given"),
    (lambda c: c.h(0, qubit=1), TypeError, "Circuit.h() got multiple values for argument 'qubit'"),
    (lambda c: c.h(q=1), TypeError, "Circuit.h() got an unexpected keyword argument 'q'"),
    (lambda c: c.depth(1), TypeError, None),
    (lambda c: c.add_qreg(1, 2), TypeError,
     "argument 'name': 'int' object cannot be converted to 'PyString'"),
    (lambda c: c.add_qreg("r", -1), OverflowError, "out of range integral type conversion attempted"),
])
def test_argument_errors_change_nothing(call, error, message):
    c = Circuit("c", 2, 2).h(0)
    before = state(c)
    with pytest.raises(error) as info:
        call(c)
    if message is not None:
        assert str(info.value) == message
    assert state(c) == before


@pytest.mark.parametrize("call,error,message", [
    (lambda: Circuit(3), TypeError, "argument 'name': 'int' object cannot be converted to 'PyString'"),
    (lambda: Circuit("c", None), TypeError, None),
    (lambda: Circuit("c", num_qubits=-1), OverflowError, "out of range integral type conversion attempted"),
    (lambda: Circuit("c", 1, 2, 3), TypeError,
     "Circuit.__new__() takes from 1 to 3 positional arguments but 4 were given"),
    (lambda: Circuit(), TypeError, "Circuit.__new__() missing 1 required positional argument: 'name'"),
    (lambda: Circuit.ghz(-1), OverflowError, "out of range integral type conversion attempted"),
])
def test_constructor_errors(call, error, message):
    with pytest.raises(error) as info:
        call()
    if message is not None:
        assert str(info.value) == message


def test_keywords_and_integer_angles():
    c = Circuit("c", 1)
    c.rx(theta=0.5, qubit=0).rx(1, 0)
    assert c.depth() == 2


def test_bits_and_registers():
    c = Circuit("c", num_qubits=2)
    assert c.add_qubit() == QubitId(2)
    assert c.num_qubits == 3
    assert c.add_qreg("r", 0) == []
    assert c.add_qreg("r", 2) == [QubitId(3), QubitId(4)]
    assert c.add_qreg("r", 1) == [QubitId(5)]
    assert c.add_clbit() == ClbitId(0)
    assert c.add_creg(name="m", size=2) == [ClbitId(1), ClbitId(2)]
    assert (c.num_qubits, c.num_clbits) == (6, 3)


def test_measure_all_adds_missing_clbits_and_counts_one_layer():
    c = Circuit("c", 3, 1).measure_all()
    assert (c.num_clbits, c.depth()) == (3, 1)


def test_barrier_all_on_an_empty_circuit_is_one_layer():
    assert Circuit("c").barrier_all().depth() == 1


@pytest.mark.parametrize("n,name,qubits,clbits,depth", [
    (0, "ghz_0", 0, 0, 0),
    (1, "ghz", 1, 1, 2),
    (4, "ghz", 4, 4, 5),
])
def test_ghz(n, name, qubits, clbits, depth):
    c = Circuit.ghz(n)
    assert (c.name, c.num_qubits, c.num_clbits, c.depth()) == (name, qubits, clbits, depth)


@pytest.mark.parametrize("n,name,depth", [(0, "qft_0", 0), (1, "qft", 1), (2, "qft", 4)])
def test_qft(n, name, depth):
    c = Circuit.qft(n)
    assert (c.name, c.num_qubits, c.num_clbits, c.depth()) == (name, n, 0, depth)


def test_properties_are_read_only():
    c = Circuit("c")
    for prop in ["name", "num_qubits", "num_clbits"]:
        with pytest.raises(AttributeError):
            setattr(c, prop, 1)


def test_method_called_with_a_foreign_receiver_is_refused():
    with pytest.raises(TypeError):
        Circuit.h(5, 0)


def test_reentrant_index_gets_borrow_errors_not_corruption():
    c = Circuit("c", 2)

    class Sneaky:
        def __index__(self):
            c.h(0)  # the circuit is free while qubits are converted
            return 1

    c.h(Sneaky())
    assert c.depth() == 1

    class Grabby:
        def __index__(self):
            c.add_qubit()
            return 1

    with pytest.raises(RuntimeError, match="Already borrowed"):
        c.add_qreg("r", Grabby())
    assert c.num_qubits == 2

    class Reader:
        def __index__(self):
            return c.num_qubits

    with pytest.raises(RuntimeError, match="Already mutably borrowed"):
        c.add_qreg("r", Reader())


@pytest.mark.parametrize("call", [
    "qelto.Circuit('x', num_qubits=4294967295)",
    "c.add_qreg('r', 4294967295)",
    "c.add_creg('r', 4294967295)",
])
def test_unallocatable_sizes_raise_memory_error(run_isolated, call):
    result = run_isolated(f"""
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
        import qelto
        c = qelto.Circuit("c", 2).h(0)
        try:
            {call}
        except MemoryError:
            print("MemoryError", c.num_qubits, c.num_clbits, c.depth())
        c.cx(0, 1)
        print(c.depth())
    """)
    assert result.returncode == 0, result.stderr
    assert result.stdout.split() == ["MemoryError", "2", "0", "1", "2"]


def test_angles_are_kept_exactly():
    c = Circuit("c", 1).rz(math.pi, 0).p(-0.0, 0)
    assert c.depth() == 2
