import pytest

from qelto import ClbitId, QubitId

ID_CLASSES = [(QubitId, "q"), (ClbitId, "c")]


@pytest.mark.parametrize("cls,prefix", ID_CLASSES)
@pytest.mark.parametrize("index", [0, 7, 4294967295])
def test_text_forms_and_index(cls, prefix, index):
    ident = cls(index)
    assert repr(ident) == f"{cls.__name__}({index})"
    assert str(ident) == f"{prefix}{index}"
    assert ident.index == index == int(ident) == hash(ident)


@pytest.mark.parametrize("cls", [QubitId, ClbitId])
def test_signature_and_docs(cls, shown_class_signature):
    assert cls.__text_signature__ == shown_class_signature("(index)")
    kind = "qubit" if cls is QubitId else "classical bit"
    assert cls.__doc__ == (
        f"Unique identifier for a {kind} within a circuit.\n\n"
        f"{cls.__name__} is a lightweight wrapper around a u32 index that identifies\n"
        f"a specific {kind} in a quantum circuit."
    )
    assert cls.index.__doc__ == f"Get the integer index of this {kind}."


@pytest.mark.parametrize(
    "call,error,message",
    [
        (lambda: QubitId(), TypeError,
         "QubitId.__new__() missing 1 required positional argument: 'index'"),
        (lambda: QubitId(1, index=2), TypeError,
         "QubitId.__new__() got multiple values for argument 'index'"),
        (lambda: QubitId(1, 2), TypeError,
         "QubitId.__new__() takes 1 positional arguments but 2 were given"),
        (lambda: ClbitId(i=1), TypeError,
         "ClbitId.__new__() got an unexpected keyword argument 'i'"),
        (lambda: QubitId(-1), OverflowError,
         "out of range integral type conversion attempted"),
        (lambda: QubitId(2**32), OverflowError,
         "out of range integral type conversion attempted"),
        (lambda: QubitId(2**64), OverflowError,
         "Python int too large to convert to C long"),
        (lambda: QubitId("1"), TypeError,
         "argument 'index': 'str' object cannot be interpreted as an integer"),
        (lambda: QubitId(1.0), TypeError,
         "argument 'index': 'float' object cannot be interpreted as an integer"),
    ],
)
def test_constructor_errors(call, error, message):
    with pytest.raises(error) as info:
        call()
    assert str(info.value) == message


def test_constructor_accepts_bool_index_objects_and_keywords():
    class Index:
        def __index__(self):
            return 12

    assert QubitId(True).index == 1
    assert QubitId(Index()).index == 12
    assert QubitId(index=3) == QubitId(3)


def test_equality_is_within_one_class():
    assert QubitId(2) == QubitId(2)
    assert not (QubitId(2) != QubitId(2))
    assert QubitId(2) != QubitId(3)
    assert not (QubitId(2) == 2)
    assert QubitId(2) != 2
    assert QubitId(1) != ClbitId(1)
    assert {QubitId(1): "a"}[QubitId(1)] == "a"


@pytest.mark.parametrize("op", ["__lt__", "__le__", "__gt__", "__ge__"])
def test_ordering_is_refused(op):
    import operator

    with pytest.raises(TypeError):
        getattr(operator, op.strip("_"))(QubitId(1), QubitId(2))


def test_identifiers_are_not_indexes():
    with pytest.raises(TypeError):
        [10, 20][QubitId(1)]


def test_index_is_read_only():
    with pytest.raises(AttributeError):
        QubitId(1).index = 2
