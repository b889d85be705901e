import os
import subprocess
import sys
import textwrap

import pytest

# Under AddressSanitizer (scripts/test-sanitized-python preloads it) the
# runtime reserves terabytes of address space for its shadow memory, so a
# child process under an address-space limit cannot even load the module.
SANITIZED = "libasan" in os.environ.get("LD_PRELOAD", "")


@pytest.fixture
def run_isolated():
    """Runs Python code in a fresh interpreter; returns the completed process."""

    def run(code, timeout=120):
        if SANITIZED and "RLIMIT_AS" in code:
            pytest.skip("an address-space limit leaves no room for AddressSanitizer")
        return subprocess.run(
            [sys.executable, "-c", textwrap.dedent(code)],
            capture_output=True,
            text=True,
            timeout=timeout,
        )

    return run


@pytest.fixture
def shown_class_signature():
    """The text signature this Python shows for a class whose docstring
    starts with `signature`. CPython 3.9 reads a class's text signature only
    for static types, never for classes made from a type spec such as the
    module's, so there it shows none (and inspect.signature fails); the
    docstring is still stripped of the signature line."""

    def shown(signature):
        return signature if sys.version_info >= (3, 10) else None

    return shown
