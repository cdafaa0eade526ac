"""Mesh.load's budgets and the variables that set them: each file, small or endless, is loaded in a
child whose address space is capped, so a lost budget fails instead of swapping."""

import subprocess
import sys

import pytest

from conftest import child_env

# Far above what the budgets let a load take, far below what the files would take without them.
MEMORY_LIMIT = 1 << 30

LOAD = """import resource, sys
resource.setrlimit(resource.RLIMIT_AS, ({limit}, {limit}))
from conftest import cause_chain
from facetview import Mesh
try:
    print(Mesh.load(sys.argv[1]).triangle_count, "triangles")
except RuntimeError as error:
    print(": ".join(text for _, text in cause_chain(error.__cause__)))
"""


def load_limited(path, **environment):
    """What loading path says, in a child under MEMORY_LIMIT with the environment added."""
    result = subprocess.run([sys.executable, "-c", LOAD.format(limit=MEMORY_LIMIT), str(path)],
                            capture_output=True, text=True, env=child_env(**environment), timeout=120, check=False)
    assert result.returncode == 0, result.stderr[-500:]
    return result.stdout.strip()


TOO_MANY = "model has more than {} triangles, the limit (set FACETVIEW_MAX_TRIANGLES to raise it)"


def long_obj_face(directory):
    """An OBJ face of one and a half million corners in 3 MB, which would take far more loaded
    without the budgets."""
    path = directory / "long.obj"
    path.write_bytes(b"v 0 0 0\nf" + b" 1" * 1_500_000 + b"\n")
    return path


@pytest.mark.parametrize("make, environment, said", [
    (long_obj_face, {"FACETVIEW_MAX_TRIANGLES": "100000"}, "OBJ line 2: " + TOO_MANY.format(100000)),
    # Beyond the floor of 1048576 triangles, within the 4 a byte of its 3 MB.
    (long_obj_face, {}, "1499998 triangles"),
    (lambda _: "/dev/zero", {"FACETVIEW_MAX_READ_BYTES": "50000000"},
     "failed to read model file /dev/zero: no end after 50000000 bytes, the limit for a pipe or device "
     "(set FACETVIEW_MAX_READ_BYTES to raise it)"),
    (lambda _: "/dev/urandom", {"FACETVIEW_MAX_TRIANGLES": "many"}, "FACETVIEW_MAX_TRIANGLES must be a whole number of at least 1"),
], ids=["long_obj_face", "obj_within_budget", "endless_device", "bad_variable"])
def test_budgets_hold_under_a_memory_limit(tmp_path, make, environment, said):
    assert load_limited(make(tmp_path), **environment) == said
