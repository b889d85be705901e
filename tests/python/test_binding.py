"""The binding's declarations: every method and constructor accepts the
parameter names its text signature shows, and a qubit or bit argument whose
__index__ raises lets that very exception through."""

import inspect
import sys

import pytest

import qelto
from qelto import BasisGates, Circuit, ClbitId, CouplingMap, Layout, PropertySet, QubitId

# A valid argument for each parameter name used anywhere in the module.
SAMPLES = {
    "qubit": 0, "clbit": 0, "control": 0, "target": 2, "q1": 0, "q2": 1,
    "c1": 0, "c2": 1, "c3": 3, "c4": 4, "t1": 1, "t2": 2, "theta": 0.5,
    "phi": 0.25, "lam": 0.125, "gamma": 0.0625, "duration": 10, "n": 3, "name": "r", "size": 2,
    "num_qubits": 3, "num_clbits": 1, "index": 1, "logical": 0,
    "physical": 1, "p1": 0, "p2": 1, "from_": 0, "to": 1, "gate": "cx",
    "gates": ["cx"], "qasm": "OPENQASM 3.0;\nqubit[1] q;\nh q[0];\n", "portable": True,
    "rows": 2, "cols": 3, "d": 3,
    "values": {}, "qubits": None, "clbits": None, "fold": 80,
    "max_qubits": 8, "max_clbits": None, "max_operations": 8, "keep_identity": True,
}


def sample(name):
    made = {
        "layout": lambda: Layout.trivial(2),
        "coupling_map": lambda: CouplingMap.linear(2),
        "basis_gates": BasisGates.ibm,
        "circuit": lambda: Circuit("c", 2),
        "other": lambda: Circuit("o", 2, 1),
    }
    return made[name]() if name in made else SAMPLES[name]


RECEIVERS = {
    Circuit: lambda: Circuit("c", 5, 2),
    QubitId: lambda: QubitId(1),
    ClbitId: lambda: ClbitId(1),
    Layout: lambda: Layout.trivial(3),
    CouplingMap: lambda: CouplingMap.linear(3),
    BasisGates: BasisGates.ibm,
    PropertySet: PropertySet,
}


def public_methods(cls):
    """Every method of a class, static ones included; properties are not."""
    return [name for name in vars(cls)
            if not name.startswith("_") and inspect.isroutine(getattr(cls, name))]


def methods():
    for cls in RECEIVERS:
        for name in public_methods(cls):
            yield pytest.param(cls, name, id=f"{cls.__name__}.{name}")


def call_with_reported_names(function, signature):
    positional, keywords = [], {}
    for parameter in signature.parameters.values():
        value = sample(parameter.name)
        if parameter.kind is inspect.Parameter.POSITIONAL_ONLY:
            positional.append(value)
        else:
            keywords[parameter.name] = value
    return function(*positional, **keywords)


@pytest.mark.parametrize("cls,name", list(methods()))
def test_every_method_takes_the_names_its_signature_shows(cls, name):
    bound = getattr(RECEIVERS[cls](), name)
    signature = inspect.signature(bound)
    call_with_reported_names(bound, signature)


@pytest.mark.parametrize("function", [qelto.from_qasm, qelto.to_qasm])
def test_every_function_takes_the_names_its_signature_shows(function):
    call_with_reported_names(function, inspect.signature(function))


@pytest.mark.parametrize("cls", list(RECEIVERS))
def test_every_constructor_takes_the_names_its_signature_shows(cls):
    if cls.__text_signature__ is None and sys.version_info < (3, 10):
        pytest.skip("Python 3.9 shows no text signature for a class, so no "
                    "parameter names are reported to call it with")
    try:
        signature = inspect.signature(cls)
    except ValueError:
        # Some Python versions give no signature for a class whose
        # constructor is described only by the class's own text signature
        # (3.11 does); read that text the way inspect reads a method's.
        signature = inspect._signature_fromstr(inspect.Signature, cls, cls.__text_signature__)
    made = call_with_reported_names(cls, signature)
    assert type(made) is cls


def test_a_keyword_parameter_name_is_shown_positional_only_and_still_bound():
    signature = inspect.signature(CouplingMap.distance)
    assert str(signature) == "(self, from_, to, /)"
    m = CouplingMap.linear(3)
    assert m.distance(0, 2) == m.distance(**{"from": 0, "to": 2}) == 2
    with pytest.raises(TypeError, match="unexpected keyword argument 'from_'"):
        m.distance(from_=0, to=2)


# --- exceptions raised by a conversion keep their identity ---------------------------

IDENTIFIER_PARAMETERS = {
    "qubit", "clbit", "control", "target", "q1", "q2", "c1", "c2", "t1", "t2",
    "logical", "physical", "p1", "p2", "from_", "to", "index",
}


def identifier_calls():
    for cls, make in RECEIVERS.items():
        for name in public_methods(cls):
            parameters = inspect.signature(getattr(make(), name)).parameters
            for parameter in parameters:
                if parameter in IDENTIFIER_PARAMETERS:
                    yield pytest.param(cls, name, parameter, id=f"{cls.__name__}.{name}:{parameter}")
    for cls in (QubitId, ClbitId):
        yield pytest.param(cls, None, "index", id=f"{cls.__name__}:index")


class Raising:
    def __init__(self, error):
        self.error = error

    def __index__(self):
        raise self.error


def snapshot(obj):
    return repr(obj) if not isinstance(obj, CouplingMap) else (repr(obj), obj.edges())


@pytest.mark.parametrize("error_type", [KeyboardInterrupt, KeyError, MemoryError])
@pytest.mark.parametrize("cls,name,parameter", list(identifier_calls()))
def test_an_exception_from_index_propagates_unchanged(cls, name, parameter, error_type):
    error = error_type("from __index__")
    receiver = RECEIVERS[cls]()
    before = snapshot(receiver)
    function = cls if name is None else getattr(receiver, name)
    signature = (inspect.signature(function) if name is not None
                 else inspect.Signature([inspect.Parameter("index", inspect.Parameter.POSITIONAL_OR_KEYWORD)]))
    arguments = [Raising(error) if p == parameter else sample(p) for p in signature.parameters]
    with pytest.raises(error_type) as info:
        function(*arguments)
    assert info.value is error
    assert snapshot(receiver) == before


@pytest.mark.parametrize("value", [1.5, "1", -1, 2**32, 2**64, ClbitId(0), None])
def test_a_value_that_is_no_qubit_still_raises_the_documented_type_error(value):
    c = Circuit("c", 2)
    with pytest.raises(TypeError, match="^Expected QubitId or int$"):
        c.h(value)
