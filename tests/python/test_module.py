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


def test_second_interpreter_is_refused(run_isolated):
    result = run_isolated(
        """
        try:
            import _xxsubinterpreters as interpreters
        except ImportError:
            raise SystemExit(77)
        import qelto
        interp = interpreters.create()
        try:
            interpreters.run_string(interp, "import qelto")
        except Exception as error:
            print(type(error).__name__, error)
        else:
            print("imported")
        """
    )
    if result.returncode == 77:
        pytest.skip("no sub-interpreter support in this Python")
    assert result.returncode == 0, result.stderr
    assert "ImportError" in result.stdout
    assert "sub-interpreters" in result.stdout


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
