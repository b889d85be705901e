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
