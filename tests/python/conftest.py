"""Shared helpers of the tests of the facetview extension module."""

import os
import subprocess
import sys
import tempfile

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
    """Points file descriptor 1 at a temporary file for the length of a test.

    The module writes to the descriptor directly, never through sys.stdout, so
    pytest's own capturing does not see it.
    """

    def __init__(self):
        self._file = tempfile.TemporaryFile()
        self._saved = os.dup(1)
        sys.stdout.flush()
        os.dup2(self._file.fileno(), 1)
        self._read = 0

    def take(self):
        """The bytes written to descriptor 1 since the last call."""
        self._file.seek(self._read)
        data = self._file.read()
        self._read += len(data)
        return data

    def close(self):
        os.dup2(self._saved, 1)
        os.close(self._saved)
        self._file.close()


@pytest.fixture
def fd1():
    capture = Fd1Capture()
    yield capture
    capture.close()
