import unicodedata

import pytest

from qelto import BasisGates, ClbitId, CouplingMap, Layout, PropertySet, QubitId

OUT_OF_RANGE = "out of range integral type conversion attempted"


class Index:
    """An integer whose conversion runs `action` first."""

    def __init__(self, action, value=0):
        self.action, self.value = action, value

    def __index__(self):
        self.action()
        return self.value


def grid(side):
    m = CouplingMap(side * side)
    for r in range(side):
        for c in range(side):
            if c + 1 < side:
                m.add_edge(r * side + c, r * side + c + 1)
            if r + 1 < side:
                m.add_edge(r * side + c, (r + 1) * side + c)
    return m


def snapshot(obj):
    """Everything observable about a target object, for before/after checks."""
    if obj is None:
        return None
    if isinstance(obj, Layout):
        return (repr(obj), [obj.get_physical(q) for q in range(8)],
                [obj.get_logical(q) for q in range(8)])
    if isinstance(obj, CouplingMap):
        return (obj.num_qubits, obj.edges())
    if isinstance(obj, BasisGates):
        return obj.gates()
    return (repr(obj), snapshot(obj.get_layout()),
            snapshot(obj.get_coupling_map()), snapshot(obj.get_basis_gates()))


# --- class conventions and documentation ----------------------------------

@pytest.mark.parametrize("cls,signature,first_line,make", [
    (BasisGates, "(gates)", "Basis gates for the target device.", lambda: BasisGates([])),
    (CouplingMap, "(num_qubits)", "Target device coupling map.", lambda: CouplingMap(1)),
    (Layout, "()", "A mapping from logical qubits to physical qubits.", Layout),
    (PropertySet, "()", "Properties shared between compilation passes.", PropertySet),
])
def test_classes_follow_the_conventions(cls, signature, first_line, make):
    assert cls.__text_signature__ == signature
    assert cls.__doc__.splitlines()[:2] == [first_line, ""]
    assert cls.__module__ == "builtins"
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    instance = make()
    with pytest.raises(AttributeError):
        instance.anything = 1
    assert instance != make() and instance == instance
    assert str(instance) == repr(instance)


@pytest.mark.parametrize("method,signature,doc_start", [
    (BasisGates.contains, "($self, gate)", "Check if a gate is in the basis."),
    (BasisGates.iqm, "()", "Create IQM basis gates (PRX + CZ)."),
    (BasisGates.ibm, "()", "Create IBM basis gates (RZ + SX + X + CX)."),
    (BasisGates.universal, "()", "Create a universal basis (all standard gates)."),
    (CouplingMap.add_edge, "($self, q1, q2)", "Add an edge between two qubits (bidirectional)."),
    (CouplingMap.is_connected, "($self, q1, q2)", "Check if two qubits are directly connected."),
    (CouplingMap.edges, "($self)", "Get the coupling edges as a list of tuples."),
    (CouplingMap.distance, "($self, from, to)", "Calculate shortest path distance between two qubits."),
    (CouplingMap.linear, "(n)", "Create a linear coupling map (0-1-2-3-...)."),
    (CouplingMap.full, "(n)", "Create a fully connected coupling map."),
    (CouplingMap.star, "(n)", "Create a star topology (center qubit connected to all others)."),
    (Layout.trivial, "(num_qubits)", "Create a trivial layout (logical qubit i maps to physical qubit i)."),
    (Layout.add, "($self, logical, physical)", "Add a mapping from logical to physical qubit."),
    (Layout.get_physical, "($self, logical)", "Get the physical qubit for a logical qubit."),
    (Layout.get_logical, "($self, physical)", "Get the logical qubit for a physical qubit."),
    (Layout.swap, "($self, p1, p2)", "Swap two physical qubits in the layout."),
    (PropertySet.set_layout, "($self, layout)", "Set the layout."),
    (PropertySet.with_target, "($self, coupling_map, basis_gates)", "Configure the property set with target hardware."),
])
def test_methods_carry_signature_and_documentation(method, signature, doc_start):
    assert method.__text_signature__ == signature
    assert method.__doc__.startswith(doc_start)


def test_multi_line_docstrings_are_exact():
    assert CouplingMap.num_qubits.__doc__ == "Get the number of physical qubits."
    assert Layout.get_logical.__doc__ == (
        "Get the logical qubit for a physical qubit.\n\nArgs:\n"
        "    physical: The physical qubit index.\n\nReturns:\n"
        "    The logical QubitId, or None if not mapped.")
    assert PropertySet.with_target.__doc__.endswith("Returns:\n    self for method chaining.")


# --- text forms --------------------------------------------------------------

@pytest.mark.parametrize("make,text", [
    (lambda: CouplingMap(3), "CouplingMap(num_qubits=3, edges=0)"),
    (lambda: CouplingMap.linear(4), "CouplingMap(num_qubits=4, edges=3)"),
    (lambda: BasisGates.ibm(), 'BasisGates(["rz", "sx", "x", "cx", "measure", "barrier", "id"])'),
    (lambda: BasisGates([]), "BasisGates([])"),
    (lambda: BasisGates(("",)), 'BasisGates([""])'),
    (lambda: Layout(), "Layout({})"),
    (lambda: Layout.trivial(1), "Layout({0\u21920})"),
    (lambda: PropertySet(), "PropertySet(layout=false, coupling_map=false, basis_gates=false)"),
])
def test_text_forms(make, text):
    assert repr(make()) == text


@pytest.mark.parametrize("name,shown", [
    ('a"b', r'a\"b'),
    ("back\\slash", r"back\\slash"),
    ("\t\r\n\0", r"\t\r\n\0"),
    ("it's a b", "it's a b"),
    ("\u00e9\u6f22\U0001f600", "\u00e9\u6f22\U0001f600"),
    ("\x01\x1f\x7f\x85", r"\u{1}\u{1f}\u{7f}\u{85}"),
    ("\u00a0\u2028\u2029\u3000", r"\u{a0}\u{2028}\u{2029}\u{3000}"),
    ("\u200b\ufeff\U000e0001", r"\u{200b}\u{feff}\u{e0001}"),
    ("e\u0301\u20dd", r"e\u{301}\u{20dd}"),
    ("\ue000\U0010ffff\u0378", r"\u{e000}\u{10ffff}\u{378}"),
])
def test_gate_names_are_quoted_and_escaped(name, shown):
    assert repr(BasisGates([name, "x"])) == f'BasisGates(["{shown}", "x"])'


def test_printability_follows_the_interpreters_unicode_database():
    hidden = {"Cc", "Cf", "Cs", "Co", "Cn", "Zl", "Zp", "Zs", "Mn", "Me"}
    special = {'"': r"\"", "\\": r"\\", "\t": r"\t", "\r": r"\r", "\n": r"\n", "\0": r"\0"}
    points = [c for c in list(range(0x3400)) + list(range(0xF900, 0x20000, 7))
              if not 0xD800 <= c < 0xE000]

    def shown(ch):
        if ch in special:
            return special[ch]
        if ch != " " and unicodedata.category(ch) in hidden:
            return "\\u{%x}" % ord(ch)
        return ch

    names = [chr(c) for c in points]
    expected = "BasisGates([" + ", ".join(f'"{shown(ch)}"' for ch in names) + "])"
    assert repr(BasisGates(names)) == expected


def test_layout_text_lists_every_entry():
    text = repr(Layout.trivial(3))
    assert text.startswith("Layout({") and text.endswith("})")
    assert sorted(text[8:-2].split(", ")) == ["0\u21920", "1\u21921", "2\u21922"]


# --- CouplingMap ---------------------------------------------------------------

@pytest.mark.parametrize("make,edges", [
    (lambda: CouplingMap.linear(3), [(0, 1), (1, 2)]),
    (lambda: CouplingMap.full(3), [(0, 1), (0, 2), (1, 2)]),
    (lambda: CouplingMap.star(3), [(0, 1), (0, 2)]),
    (lambda: CouplingMap.linear(1), []),
    (lambda: CouplingMap.star(1), []),
])
def test_constructions_list_edges_in_order(make, edges):
    m = make()
    assert m.edges() == edges
    assert m.edges() is not m.edges()


@pytest.mark.parametrize("make,a,b,distance", [
    (lambda: CouplingMap.linear(5), 0, 4, 4),
    (lambda: CouplingMap.linear(5), 4, 0, 4),
    (lambda: CouplingMap(5), 0, 4, None),
    (lambda: CouplingMap(5), 2, 2, 0),
    (lambda: CouplingMap(0), 7, 7, 0),
    (lambda: CouplingMap.star(4), 1, 3, 2),
    (lambda: grid(10), 0, 99, 18),
])
def test_distance(make, a, b, distance):
    assert make().distance(a, b) == distance


def test_edges_are_stored_as_given_without_checks():
    m = CouplingMap(3)
    for q1, q2 in [(0, 9), (1, 0), (1, 0), (2, 2)]:
        m.add_edge(q1, q2)
    assert m.num_qubits == 3
    assert m.edges() == [(0, 9), (1, 0), (1, 0), (2, 2)]
    assert repr(m) == "CouplingMap(num_qubits=3, edges=4)"
    assert [m.is_connected(9, 0), m.is_connected(0, 1), m.is_connected(2, 2),
            m.is_connected(0, 2)] == [True, True, True, False]
    assert m.distance(**{"from": 9, "to": 1}) == 2


def test_num_qubits_is_read_only():
    m = CouplingMap(3)
    with pytest.raises(AttributeError):
        m.num_qubits = 4
    assert m.num_qubits == 3


# --- Layout ------------------------------------------------------------------------

@pytest.mark.parametrize("start,calls,physical,logical,length", [
    (lambda: Layout.trivial(3), [("swap", 0, 1)], {0: 1, 1: 0, 2: 2}, {0: 1, 1: 0, 2: 2}, 3),
    (lambda: Layout.trivial(3), [("swap", 0, 1), ("swap", 1, 0)], {0: 0, 1: 1}, {0: 0, 1: 1}, 3),
    (lambda: Layout.trivial(1), [("swap", 0, 5)], {0: 5}, {0: None, 5: 0}, 1),
    (lambda: Layout.trivial(1), [("swap", 5, 0)], {0: 5}, {0: None, 5: 0}, 1),
    (lambda: Layout.trivial(3), [("swap", 3, 4), ("swap", 1, 1)], {1: 1, 3: None}, {3: None, 4: None}, 3),
    (lambda: Layout(), [("add", 0, 5), ("add", 0, 6)], {0: 6}, {6: 0, 5: None}, 1),
    (lambda: Layout(), [("add", 0, 5), ("add", 1, 5)], {1: 5, 0: None}, {5: 1}, 1),
    (lambda: Layout(), [("add", 4294967295, 4294967295)], {4294967295: 4294967295}, {4294967295: 4294967295}, 1),
])
def test_layout_changes(start, calls, physical, logical, length):
    layout = start()
    for name, a, b in calls:
        assert getattr(layout, name)(a, b) is None
    assert {q: layout.get_physical(q) for q in physical} == physical
    assert {q: layout.get_logical(q) for q in logical} == {
        q: None if l is None else QubitId(l) for q, l in logical.items()}
    assert len(layout) == length


def test_layout_length_and_truth():
    assert (len(Layout()), bool(Layout())) == (0, False)
    assert (len(Layout.trivial(2)), bool(Layout.trivial(1))) == (2, True)
    assert all(bool(x) for x in (CouplingMap(0), BasisGates([]), PropertySet()))
    found = Layout.trivial(2).get_logical(1)
    assert type(found) is QubitId and found.index == 1


# --- BasisGates -------------------------------------------------------------------

@pytest.mark.parametrize("gates,names", [
    (("cx", "h"), ["cx", "h"]),
    (["h", "h", ""], ["h", "h", ""]),
    ([], []),
])
def test_basis_gates_keep_names_in_order(gates, names):
    b = BasisGates(gates)
    assert b.gates() == names
    b.gates().append("extra")
    assert b.gates() == names


@pytest.mark.parametrize("preset,size,first,last,present,absent", [
    (BasisGates.ibm, 7, "rz", "id", "cx", "CX"),
    (BasisGates.iqm, 4, "prx", "barrier", "prx", "cx"),
    (BasisGates.universal, 48, "id", "barrier", "c4x", "delay"),
])
def test_presets(preset, size, first, last, present, absent):
    b = preset()
    gates = b.gates()
    assert (len(gates), gates[0], gates[-1]) == (size, first, last)
    assert (b.contains(present), b.contains(absent)) == (True, False)


def test_lone_surrogate_names_are_refused():
    with pytest.raises(UnicodeEncodeError):
        BasisGates(["\ud800"])


class FailingSequence:
    def __init__(self, error):
        self.error = error

    def __len__(self):
        return 2

    def __getitem__(self, i):
        if i == 1:
            raise self.error
        return "cx"


@pytest.mark.parametrize("error,message", [
    (ValueError("boom"), "boom"),
    (TypeError("bad item"), "argument 'gates': bad item"),
])
def test_errors_while_iterating_gates_propagate(error, message):
    with pytest.raises(type(error)) as info:
        BasisGates(FailingSequence(error))
    assert str(info.value) == message


# --- PropertySet --------------------------------------------------------------------

def test_property_set_copies_in_and_out():
    ps = PropertySet()
    layout = Layout.trivial(2)
    ps.set_layout(layout)
    layout.add(5, 5)
    got = ps.get_layout()
    assert len(got) == 2 and got is not ps.get_layout()
    got.swap(0, 1)
    assert ps.get_layout().get_physical(0) == 0
    coupling = CouplingMap(2)
    ps.set_coupling_map(coupling)
    coupling.add_edge(0, 1)
    assert ps.get_coupling_map().edges() == []
    ps.set_basis_gates(BasisGates(["h"]))
    assert ps.get_basis_gates().gates() == ["h"]


def test_with_target_chains_and_keeps_the_layout():
    ps = PropertySet()
    assert (ps.get_layout(), ps.get_coupling_map(), ps.get_basis_gates()) == (None, None, None)
    ps.set_layout(Layout.trivial(1))
    assert ps.with_target(CouplingMap(3), BasisGates.ibm()) is ps
    assert ps.with_target(coupling_map=CouplingMap.linear(2), basis_gates=BasisGates.iqm()) is ps
    assert repr(ps) == "PropertySet(layout=true, coupling_map=true, basis_gates=true)"
    assert ps.get_coupling_map().edges() == [(0, 1)]
    assert ps.get_basis_gates().gates()[0] == "prx"
    assert len(ps.get_layout()) == 1


# --- argument errors ------------------------------------------------------------------

@pytest.mark.parametrize("call,error,message", [
    (lambda: CouplingMap(-1), OverflowError, OUT_OF_RANGE),
    (lambda: CouplingMap(2**64), OverflowError, None),
    (lambda: CouplingMap(), TypeError, "CouplingMap.__new__() missing 1 required positional argument: 'num_qubits'"),
    (lambda: CouplingMap(1.0), TypeError, "argument 'num_qubits': 'float' object cannot be interpreted as an integer"),
    (lambda: CouplingMap.linear("3"), TypeError, "argument 'n': 'str' object cannot be interpreted as an integer"),
    (lambda: Layout(1), TypeError, "Layout.__new__() takes 0 positional arguments but 1 was given"),
    (lambda: PropertySet(x=1), TypeError, "PropertySet.__new__() got an unexpected keyword argument 'x'"),
    (lambda: Layout.trivial(num_qubits=-1), OverflowError, OUT_OF_RANGE),
    (lambda: BasisGates("cx"), TypeError, "argument 'gates': Can't extract `str` to `Vec`"),
    (lambda: BasisGates(["cx", 1]), TypeError, "argument 'gates': 'int' object cannot be converted to 'PyString'"),
    (lambda: BasisGates({"cx"}), TypeError, "argument 'gates': 'set' object cannot be converted to 'Sequence'"),
    (lambda: BasisGates(g for g in ["cx"]), TypeError, "argument 'gates': 'generator' object cannot be converted to 'Sequence'"),
    (lambda: BasisGates.ibm().contains(1), TypeError, "argument 'gate': 'int' object cannot be converted to 'PyString'"),
    (lambda: BasisGates.ibm(1), TypeError, None),
    (lambda: PropertySet().set_layout(None), TypeError, "argument 'layout': 'NoneType' object cannot be converted to 'Layout'"),
    (lambda: PropertySet().set_coupling_map(Layout()), TypeError, "argument 'coupling_map': 'Layout' object cannot be converted to 'CouplingMap'"),
    (lambda: PropertySet().set_basis_gates(["h"]), TypeError, "argument 'basis_gates': 'list' object cannot be converted to 'BasisGates'"),
    (lambda: Layout.add(CouplingMap(1), 0, 0), TypeError, None),
])
def test_argument_errors(call, error, message):
    with pytest.raises(error) as info:
        call()
    if message is not None:
        assert str(info.value) == message


@pytest.mark.parametrize("make,call,error,message", [
    (lambda: CouplingMap.linear(2), lambda m: m.add_edge(-1, 0), OverflowError, OUT_OF_RANGE),
    (lambda: CouplingMap.linear(2), lambda m: m.add_edge("a", 0), TypeError, "argument 'q1': "),
    (lambda: CouplingMap.linear(2), lambda m: m.add_edge(0, 1, 2), TypeError, "CouplingMap.add_edge() takes 2 positional arguments but 3 were given"),
    (lambda: Layout.trivial(2), lambda l: l.add(QubitId(0), 1), TypeError, "argument 'logical': "),
    (lambda: Layout.trivial(2), lambda l: l.swap(0, ClbitId(1)), TypeError, "argument 'p2': "),
    (lambda: Layout.trivial(2), lambda l: l.swap(0, p1=1), TypeError, "Layout.swap() got multiple values for argument 'p1'"),
    (lambda: PropertySet(), lambda p: p.with_target(CouplingMap(1), None), TypeError, "argument 'basis_gates': 'NoneType' object cannot be converted to 'BasisGates'"),
    (lambda: PropertySet().with_target(CouplingMap(1), BasisGates([])), lambda p: p.with_target(CouplingMap.linear(3), BasisGates), TypeError, "argument 'basis_gates': 'type' object"),
])
def test_failed_calls_change_nothing(make, call, error, message):
    obj = make()
    before = snapshot(obj)
    with pytest.raises(error) as info:
        call(obj)
    assert str(info.value).startswith(message)
    assert snapshot(obj) == before


# --- borrowing ------------------------------------------------------------------------

@pytest.mark.parametrize("make,call,message", [
    (lambda: CouplingMap.linear(3), lambda m: m.add_edge(Index(lambda: m.num_qubits), 0), "Already mutably borrowed"),
    (lambda: CouplingMap.linear(3), lambda m: m.add_edge(0, Index(lambda: m.add_edge(0, 2))), "Already borrowed"),
    (lambda: CouplingMap.linear(3), lambda m: m.is_connected(Index(lambda: m.add_edge(0, 2)), 0), "Already borrowed"),
    (lambda: CouplingMap.linear(3), lambda m: m.distance(0, Index(lambda: m.add_edge(0, 2), 2)), "Already borrowed"),
    (lambda: Layout.trivial(3), lambda l: l.add(Index(lambda: len(l)), 1), "Already mutably borrowed"),
    (lambda: Layout.trivial(3), lambda l: l.swap(0, Index(lambda: l.get_physical(0), 1)), "Already mutably borrowed"),
    (lambda: Layout.trivial(3), lambda l: l.get_physical(Index(lambda: l.swap(0, 1))), "Already borrowed"),
    (lambda: Layout.trivial(3), lambda l: l.get_logical(Index(lambda: l.add(7, 7))), "Already borrowed"),
])
def test_conversions_that_reach_the_same_object_meet_its_borrow(make, call, message):
    obj = make()
    before = snapshot(obj)
    with pytest.raises(RuntimeError, match=f"^{message}$"):
        call(obj)
    assert snapshot(obj) == before


def test_reads_may_nest_inside_reads():
    m = CouplingMap.linear(4)
    assert m.distance(Index(lambda: m.edges()), 3) == 3
    layout = Layout.trivial(2)
    assert layout.get_physical(Index(lambda: repr(layout), 1)) == 1


# --- memory --------------------------------------------------------------------------

def test_impossible_sizes_raise_memory_error(run_isolated):
    result = run_isolated(
        """
        import resource
        resource.setrlimit(resource.RLIMIT_AS, (2 << 30, 2 << 30))
        import qelto
        calls = [
            lambda: qelto.CouplingMap.full(200000),
            lambda: qelto.CouplingMap.linear(4294967295),
            lambda: qelto.CouplingMap.star(4294967295),
            lambda: qelto.Layout.trivial(4294967295),
        ]
        for call in calls:
            try:
                call()
            except MemoryError:
                pass
            else:
                raise SystemExit("no MemoryError")
        print(qelto.CouplingMap.linear(3), len(qelto.Layout.trivial(3)))
        """)
    assert result.returncode == 0, result.stderr
    assert result.stdout == "CouplingMap(num_qubits=3, edges=2) 3\n"
