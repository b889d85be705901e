import subprocess
import sys
import textwrap

import pytest


@pytest.fixture
def run_isolated():
    """Runs Python code in a fresh interpreter; returns the completed process."""

    def run(code, timeout=120):
        return subprocess.run(
            [sys.executable, "-c", textwrap.dedent(code)],
            capture_output=True,
            text=True,
            timeout=timeout,
        )

    return run
