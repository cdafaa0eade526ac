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


MODEL_PACKAGES = ("assimp-testmodels", "openscad-testing-data")


def fetched_models(cache):
    """The unpacked test-model packages under cache, fetched with apt-get download on first use."""
    root = cache / "unpacked"
    if (root / "usr").is_dir():
        return root / "usr" / "share"
    cache.mkdir(parents=True, exist_ok=True)
    fetched = subprocess.run(["apt-get", "download", *MODEL_PACKAGES], cwd=cache,
                             capture_output=True, text=True, check=False)
    debs = sorted(cache.glob("*.deb"))
    if fetched.returncode != 0 or len(debs) < len(MODEL_PACKAGES):
        return f"apt-get download {' '.join(MODEL_PACKAGES)} failed: {fetched.stderr.strip()[-300:]}"
    for deb in debs:
        subprocess.run(["dpkg-deb", "-x", str(deb), str(root)], check=True)
    return root / "usr" / "share"
