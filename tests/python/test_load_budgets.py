"""Small or endless inputs stay small: each hostile file is made by a small generator and
loaded in a child whose address space is capped, so a lost budget fails instead of swapping."""

import struct
import subprocess
import sys
import zipfile

import pytest

from conftest import child_env

# Far above what the budgets let a load take, far below what the files would take without them.
MEMORY_LIMIT = 1 << 30

LOAD = """
import resource, sys
resource.setrlimit(resource.RLIMIT_AS, ({limit}, {limit}))
from facetview import Mesh
try:
    mesh = Mesh.load(sys.argv[1])
except RuntimeError as error:
    reasons = []
    while error is not None:
        reasons.append(str(error))
        error = error.__cause__
    print(": ".join(reasons[1:]))
else:
    print(mesh.triangle_count, "triangles")
"""


def load_limited(path, **environment):
    """What loading path says, in a child under MEMORY_LIMIT with the environment added."""
    result = subprocess.run([sys.executable, "-c", LOAD.format(limit=MEMORY_LIMIT), str(path)],
                            capture_output=True, text=True, env=child_env(**environment), timeout=120, check=False)
    assert result.returncode == 0, result.stderr[-500:]
    return result.stdout.strip()


def written(path, content):
    path.write_bytes(content)
    return path


def three_mf(path, model, compression=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", compression) as archive:
        archive.writestr("3D/3dmodel.model", model)
    return path


OBJECT = ('<model xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02"><resources><object id="1">'
          '<mesh><vertices><vertex x="0" y="0" z="0"/><vertex x="1" y="0" z="0"/><vertex x="0" y="1" z="0"/>'
          '</vertices><triangles>{triangles}</triangles></mesh></object></resources><build>{items}</build></model>')
TOO_MANY = "model has more than {} triangles, the limit (set FACETVIEW_MAX_TRIANGLES to raise it)"
PLY_HEADER = ("ply\nformat binary_little_endian 1.0\nelement vertex 1\nproperty float x\nproperty float y\n"
              "property float z\nelement face 1\nproperty list uint uchar vertex_indices\nend_header\n").encode()
# Each a few KB to a few MB that would take far more unpacked or loaded without the budgets: XML two
# million elements deep (bzip2), one object of a million triangles placed twice, a binary PLY face of
# four million one-byte corners and an OBJ face of one and a half million.
HOSTILE = {
    "deep_xml": lambda d: three_mf(d / "deep.3mf", "<a>" * 2_000_000 + "</a>" * 2_000_000, zipfile.ZIP_BZIP2),
    "instanced_3mf": lambda d: three_mf(d / "instanced.3mf", OBJECT.format(
        triangles='<triangle v1="0" v2="1" v3="2"/>' * 1_000_000, items='<item objectid="1"/>' * 2)),
    "long_ply_face": lambda d: written(d / "long.ply", PLY_HEADER + bytes(12) + struct.pack("<I", 4_000_000)
                                       + bytes(4_000_000)),
    "long_obj_face": lambda d: written(d / "long.obj", b"v 0 0 0\nf" + b" 1" * 1_500_000 + b"\n"),
}


@pytest.mark.parametrize("make, environment, said", [
    (HOSTILE["deep_xml"], {}, "3MF package: model part 3D/3dmodel.model: elements nest deeper than 64 levels"),
    (HOSTILE["instanced_3mf"], {}, "3MF package: " + TOO_MANY.format(1 << 20)),
    (HOSTILE["long_ply_face"], {"FACETVIEW_MAX_TRIANGLES": "100000"},
     "PLY element 'face': " + TOO_MANY.format(100000)),
    (HOSTILE["long_obj_face"], {"FACETVIEW_MAX_TRIANGLES": "100000"}, "OBJ line 2: " + TOO_MANY.format(100000)),
    # Beyond the floor of 1048576 triangles, within the 4 a byte of its 3 MB.
    (HOSTILE["long_obj_face"], {}, "1499998 triangles"),
    (lambda _: "/dev/zero", {"FACETVIEW_MAX_READ_BYTES": "50000000"},
     "failed to read model file /dev/zero: no end after 50000000 bytes, the limit for a pipe or device "
     "(set FACETVIEW_MAX_READ_BYTES to raise it)"),
    (lambda _: "/dev/urandom", {"FACETVIEW_MAX_TRIANGLES": "many"}, "FACETVIEW_MAX_TRIANGLES must be a whole number of at least 1"),
], ids=["deep_xml", "instanced_3mf", "long_ply_face", "long_obj_face", "obj_within_budget", "endless_device", "bad_variable"])
def test_budgets_hold_under_a_memory_limit(tmp_path, make, environment, said):
    assert load_limited(make(tmp_path), **environment) == said
