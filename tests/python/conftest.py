"""Shared helpers of the tests of the facetview extension module."""

import os
import subprocess
import sys

import pytest


def run_python(code, *, stdout=subprocess.PIPE):
    """Runs code in a fresh interpreter that finds the same facetview package."""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    return subprocess.run(
        [sys.executable, "-c", code], stdout=stdout, stderr=subprocess.PIPE, env=env, check=False
    )


@pytest.fixture(name="run_python")
def run_python_fixture():
    return run_python


class Fd1Capture:
    """What reaches file descriptor 1, which the module writes to directly,
    never through sys.stdout."""

    def __init__(self, capfdbinary):
        self._capture = capfdbinary

    def take(self):
        """The bytes written to descriptor 1 since the last call."""
        return self._capture.readouterr().out


@pytest.fixture
def fd1(capfdbinary):
    return Fd1Capture(capfdbinary)
