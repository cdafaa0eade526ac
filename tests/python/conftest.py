"""Shared helpers of the tests of the facetview extension module."""

import os
import subprocess
import sys


def run_python(code, *, stdout=subprocess.PIPE):
    """Runs code in a fresh interpreter that finds the same facetview package."""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    return subprocess.run([sys.executable, "-c", code], stdout=stdout, stderr=subprocess.PIPE, env=env, check=False)
