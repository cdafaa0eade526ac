"""Shared helpers of the tests of the facetview extension module."""

import os
import subprocess
import sys

import pytest


def run_python(code, *, stdout=subprocess.PIPE):
    """Runs code in a fresh interpreter that finds the same facetview package."""
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(p for p in sys.path if p))
    return subprocess.run([sys.executable, "-c", code], stdout=stdout, stderr=subprocess.PIPE, env=env, check=False)


def signal_until_exit(process, number):
    """Sends the signal until the process ends: one that lands just before a blocking call starts
    only sets a flag, so it is repeated."""
    for _ in range(200):
        process.send_signal(number)
        try:
            process.wait(0.05)
            return
        except subprocess.TimeoutExpired:
            pass
    process.kill()
    pytest.fail(f"the process did not stop on signal {number}")
