import importlib
import sys

import pytest

import qelto

EXPECTED_PREFIX = ["QubitId", "ClbitId"]


def test_all_lists_registered_names_in_order():
    assert qelto.__all__[:2] == EXPECTED_PREFIX
    assert len(set(qelto.__all__)) == len(qelto.__all__)
    for name in qelto.__all__:
        assert getattr(qelto, name).__name__ == name


def test_docstring_names_every_part():
    lines = qelto.__doc__.split("\n")
    assert lines[0].startswith("Qelto: ") and lines[0].endswith(".")
    assert lines[1:] == [
        "",
        "This module provides:",
        "- Circuit: Quantum circuit builder with fluent API",
        "- QubitId, ClbitId: Qubit and classical bit identifiers",
        "- from_qasm, to_qasm: QASM3 parsing and emission",
        "- Layout, CouplingMap, BasisGates, PropertySet: Compilation types",
    ]


def test_reimport_returns_the_same_module():
    del sys.modules["qelto"]
    again = importlib.import_module("qelto")
    assert again is qelto


@pytest.mark.parametrize("name", EXPECTED_PREFIX)
def test_classes_follow_the_conventions(name):
    cls = getattr(qelto, name)
    assert cls.__module__ == "builtins"
    assert cls.__qualname__ == name
    with pytest.raises(TypeError):
        type("Sub", (cls,), {})
    instance = cls(0)
    with pytest.raises(AttributeError):
        instance.anything = 1
    with pytest.raises(TypeError):
        __import__("weakref").ref(instance)


# How each Python makes a second interpreter: 3.13 has `_interpreters`,
# 3.9-3.12 `_xxsubinterpreters`. A "legacy" interpreter shares the import
# machinery's rules with the main one, so qelto's own check refuses it; an
# "isolated" one (3.12 and later, their default) is refused by CPython first,
# because qelto does not declare support for per-interpreter state.
SECOND_INTERPRETER = """
    import sys
    try:
        import _interpreters as interpreters
        make = {"legacy": lambda: interpreters.create("legacy"),
                "isolated": lambda: interpreters.create("isolated")}
    except ImportError:
        import _xxsubinterpreters as interpreters
        if sys.version_info >= (3, 12):
            make = {"legacy": lambda: interpreters.create(isolated=False),
                    "isolated": lambda: interpreters.create(isolated=True)}
        else:
            make = {"legacy": interpreters.create}
    import qelto
    for kind, create in make.items():
        interp = create()
        try:
            failure = interpreters.run_string(interp, "import qelto")
        except Exception as error:  # 3.9-3.12 raise what the code raised
            failure = error
        # 3.13 returns a summary of the exception instead of raising it.
        print(kind, "|", "imported" if failure is None else failure)
        interpreters.destroy(interp)
"""


def test_second_interpreter_is_refused(run_isolated):
    result = run_isolated(SECOND_INTERPRETER)
    assert result.returncode == 0, result.stderr
    outcomes = dict(line.split(" | ", 1) for line in result.stdout.splitlines())
    assert "ImportError" in outcomes["legacy"]
    assert "qelto does not support sub-interpreters" in outcomes["legacy"]
    if sys.version_info >= (3, 12):
        assert "ImportError" in outcomes["isolated"]
        assert "does not support loading in subinterpreters" in outcomes["isolated"]


@pytest.mark.slow
def test_memory_stays_flat_over_a_million_calls(run_isolated):
    result = run_isolated(
        """
        import resource
        import qelto

        def rss_kib():
            with open("/proc/self/statm") as f:
                return int(f.read().split()[1]) * resource.getpagesize() // 1024

        def churn():
            for i in range(1_000_000):
                qelto.QubitId(i)
                qelto.ClbitId(i)
                try:
                    qelto.QubitId(index=i, extra=1)
                except TypeError:
                    pass

        churn()
        before = rss_kib()
        churn()
        print(rss_kib() - before)
        """,
        timeout=300,
    )
    assert result.returncode == 0, result.stderr
    assert int(result.stdout) < 2048
