"""Models in and frames out: Mesh.from_arrays, Mesh.load, size and source_path, render and save_png."""

import struct
import zipfile
from xml.etree import ElementTree

import numpy as np
import pytest

import facetview as f
from conftest import binary_stl, cause_chain
from facetview import Camera, Mesh, Surface, Viewport

from kitty_stream import decode_frame

# The demo hull, as its vertices and faces are listed for Mesh.demo().
DEMO_VERTICES = [(-0.9, -0.6, -0.6), (0.8, -0.6, -0.6), (0.8, 0.6, -0.6), (-0.9, 0.6, -0.6),
                 (-0.6, -0.4, 0.8), (1.0, -0.4, 0.6), (0.7, 0.7, 0.8), (-0.7, 0.8, 0.7)]
DEMO_FACES = [(0, 1, 2), (0, 2, 3), (4, 6, 5), (4, 7, 6), (0, 4, 5), (0, 5, 1),
              (1, 5, 6), (1, 6, 2), (2, 6, 7), (2, 7, 3), (3, 7, 4), (3, 4, 0)]
CAMERA = Camera(pitch=0.3, yaw=0.8, roll=0.1, zoom=1.2)
TRIANGLE = [(0, 0, 0), (1, 0, 0), (0, 1, 0)]


def flat(faces, vertices=DEMO_VERTICES):
    return [vertices[i] for face in faces for i in face]


@pytest.mark.parametrize("vertices, faces", [
    (DEMO_VERTICES, DEMO_FACES),
    (np.array(DEMO_VERTICES, dtype=np.float32), np.array(DEMO_FACES, dtype=np.uint8)),
    (np.array(DEMO_VERTICES, dtype=">f8"), np.array(DEMO_FACES, dtype=">i2")),
    (np.array(DEMO_VERTICES).T.copy().T, np.array(DEMO_FACES, dtype=np.int64)),  # not C-contiguous
    (memoryview(struct.pack("24d", *(c for v in DEMO_VERTICES for c in v))).cast("B").cast("d", (8, 3)), DEMO_FACES),
    (flat(DEMO_FACES), None),
])
def test_from_arrays_without_normalizing_draws_exactly_the_demo(vertices, faces):
    mesh = Mesh.from_arrays(vertices, faces, name="hull", normalize=False)
    assert repr(mesh) == 'Mesh(name="hull", triangles=12)' and mesh.source_path is None
    assert f.render(mesh, CAMERA, 64, 48) == f.render(Mesh.demo(), CAMERA, 64, 48)
    assert mesh.size == pytest.approx((1.9, 1.4, 1.4)) and mesh.size == Mesh.demo().size


def test_from_stl_and_from_arrays_normalize(tmp_path):
    # The hull 8 times larger and elsewhere (exactly, in binary) fills the same cube once normalized.
    triangles = [[tuple(c * 8 + 3 for c in v) for v in t] for t in [flat([face]) for face in DEMO_FACES]]
    (tmp_path / "hull.stl").write_bytes(binary_stl(triangles))
    from_file, from_arrays = Mesh.from_stl(str(tmp_path / "hull.stl")), Mesh.from_arrays(DEMO_VERTICES, DEMO_FACES)
    assert from_file.size == pytest.approx((15.2, 11.2, 11.2)) and from_arrays.size == pytest.approx((1.9, 1.4, 1.4))
    assert f.render(from_file, CAMERA, 80, 60) == f.render(from_arrays, CAMERA, 80, 60)
    assert from_file.source_path == str(tmp_path / "hull.stl") and from_arrays.name == "mesh"
    assert Mesh.from_arrays(np.zeros((0, 3))).size == (0.0, 0.0, 0.0)  # nothing to normalize


@pytest.mark.parametrize("quality, cols, rows", [("low", 9, 5), ("medium", 24, 8), ("high", 200, 60)])
def test_render_and_save_png_give_the_pixels_a_surface_shows(tmp_path, capfdbinary, quality, cols, rows):
    from PIL import Image

    mesh = Mesh.from_arrays(DEMO_VERTICES, [face[::-1] for face in DEMO_FACES])
    size = Surface(quality).render_to_terminal(mesh, CAMERA, Viewport(0, 0, cols, rows))
    assert decode_frame(capfdbinary.readouterr().out, cols, rows) == (*size, f.render(mesh, CAMERA, *size))
    f.save_png(str(tmp_path / "hull.png"), mesh, CAMERA, *size)
    with Image.open(tmp_path / "hull.png") as image:
        assert (image.format, image.mode, image.size) == ("PNG", "RGBA", size)
        assert image.tobytes() == f.render(mesh, CAMERA, *size)


# Refused calls, each naming its problem.
@pytest.mark.parametrize("call, exception, message", [
    (lambda: Mesh.from_arrays(np.zeros((3, 2))), ValueError, r"vertices must have the shape \(n, 3\), not \(3, 2\)"),
    (lambda: Mesh.from_arrays(np.zeros((3, 3), dtype=np.float16)), TypeError,
     "vertices must hold float32 or float64 numbers, not items of format 'e'"),
    (lambda: Mesh.from_arrays(TRIANGLE, np.zeros((1, 3))), TypeError, "faces must hold integers, not items of format 'd'"),
    (lambda: Mesh.from_arrays(TRIANGLE, [(0, 1, 2.0)]), TypeError, r"faces\[0\]: 'float' object cannot be interpreted as an integer"),
    (lambda: Mesh.from_arrays([(0, 0, 0), (1, 0), (0, 1, 0)]), ValueError, r"vertices\[1\] has 2 values, expected 3"),
    # Text is no number, though float() reads some of it.
    (lambda: Mesh.from_arrays([(0, 0, "1")] * 3), TypeError, r"^vertices\[0\]: expected a number, not str$"),
    (lambda: Mesh.from_arrays(["123", "456", "789"]), TypeError, r"^vertices\[0\]: expected 3 numbers, not str$"),
    (lambda: Mesh.from_arrays("0 0 0 1 0 0 0 1 0"), TypeError, "^vertices must be an .*, not str$"),
    (lambda: Mesh.from_arrays(b"abcdef"), TypeError, "^vertices must be an .*, not bytes$"),
    (lambda: Mesh.from_arrays(TRIANGLE, [b"\0\1\2"]), TypeError, r"^faces\[0\]: expected 3 numbers, not bytes$"),
    (lambda: Mesh.from_arrays(None), TypeError, r"vertices must be an \(n, 3\) array or a sequence of 3-sequences, not NoneType"),
    # A box wider than the float range would shrink to a point.
    (lambda: Mesh.from_arrays([(-3.4e38, 0, 0), (3.4e38, 0, 0), (0, 1, 0)]), ValueError,
     "^the vertices span more than the 32-bit float range$"),
    (lambda: Mesh.from_arrays(TRIANGLE, [(0, 1, 3)]), ValueError, "^face 0: vertex index 3 out of range for 3 vertices$"),
    (lambda: Mesh.from_arrays(TRIANGLE, name=3), TypeError, "^argument 'name': 'int' object cannot be converted to 'str'$"),
    (lambda: Mesh.from_arrays(TRIANGLE, colors=[(1, 2, 3)] * 2), ValueError,
     r"^colors must have one row per face \(1\) or per vertex \(3\), not 2$"),
    *((lambda c=c: Mesh.from_arrays(TRIANGLE, colors=[c]), ValueError, "^colors given as whole numbers must be 0 to 255$")
      for c in [(256, 0, 0), (0, -1, 0)]),
    (lambda: Mesh.from_arrays(TRIANGLE, colors=np.zeros((1, 3), np.int32)), TypeError,
     "^colors must hold uint8 or float numbers, not items of format 'i'$"),
    (lambda: Mesh.from_arrays(TRIANGLE, colors=np.zeros(3, np.uint8)), ValueError, r"^colors must have the shape \(n, 3\)"),
    (lambda: f.render(Mesh.demo(), CAMERA, 0, 10), ValueError, "^width must be at least 1 pixel$"),
    (lambda: f.render(Mesh.demo(), CAMERA, 10, 0), ValueError, "^height must be at least 1 pixel$"),
    (lambda: f.render(Mesh.demo(), CAMERA, 65536, 1), ValueError, "^width must be 1 to 65535 pixels$"),
    (lambda: f.render(Mesh.demo(), CAMERA, 5, -1), ValueError, "^height must be 1 to 65535 pixels$"),
    (lambda: f.render(Mesh.demo(), CAMERA, 1 << 70, 5), ValueError, "^width must be 1 to 65535 pixels$"),
    (lambda: f.render(Mesh.demo(), CAMERA, 65535, 65535), MemoryError, ""),
    (lambda: f.save_png("/", Mesh.demo(), CAMERA, 4, 4), RuntimeError, "^failed to save PNG to /$"),
    (lambda: Mesh.load(3), TypeError, ""),  # a path-like object or none
])
def test_bad_arguments_are_refused(call, exception, message):
    with pytest.raises(exception, match=message):
        call()


def test_load_names_the_mesh_and_keeps_warnings_and_causes(tmp_path):
    (tmp_path / "lines.obj").write_bytes(b"v 0 0 0\nv 2 0 0\nv 2 1 0\nf 1 2 3\nf 1// 2//\nf 3\n")
    mesh = Mesh.load(tmp_path / "lines.obj")
    assert (mesh.name, mesh.triangle_count, mesh.source_path, max(mesh.size)) == \
        ("lines", 1, str(tmp_path / "lines.obj"), 2.0)
    assert mesh.warnings == ("skipped 2 faces of fewer than three corners",)
    # A failure says which file; the reader's reasons follow as causes.
    (tmp_path / "bad.obj").write_bytes(b"v 0 0 0\nf 1 2 3\n")
    with pytest.raises(RuntimeError) as error:
        Mesh.load(str(tmp_path / "bad.obj"))
    assert error.value.args == (f"failed to load model from {tmp_path / 'bad.obj'}",)
    assert cause_chain(error.value.__cause__) == [(RuntimeError, "OBJ line 2"),
                                                  (RuntimeError, "vertex index 2 out of range for 1 vertices")]


def meshio_triangles(path):
    """Triangles of the file as meshio reads it (polygons as fans), or None where it cannot."""
    import meshio
    try:
        cells = meshio.read(path).cells
    except (Exception, SystemExit):
        return None
    return sum(sum(len(polygon) - 2 for polygon in block.data) for block in cells
               if block.type in ("triangle", "quad") or block.type.startswith("polygon")) or None


def xml_triangles(path):
    """Triangles that a 3MF package's model part lists."""
    with zipfile.ZipFile(path) as archive:
        model = archive.read(next(name for name in archive.namelist() if name.endswith(".model")))
    return sum(element.tag.endswith("}triangle") for element in ElementTree.fromstring(model).iter())


@pytest.mark.filterwarnings("ignore")  # meshio's about the files it reads
@pytest.mark.parametrize("pattern, count_of", [
    ("assimp/models/OBJ/*.obj", meshio_triangles), ("assimp/models/PLY/*.ply", meshio_triangles),
    ("assimp/models/3MF/box.3mf", xml_triangles), ("openscad/testdata/scad/3D/features/import.3mf", xml_triangles),
])
def test_real_files_agree_with_other_readers(models, pattern, count_of):
    """Where the other reader finds faces, the counts agree; where meshio finds none or fails, a failure here is
    expected."""
    checked, paths = 0, sorted(models.glob(pattern))
    for path in paths:
        expected = count_of(path)
        try:
            count = Mesh.load(path).triangle_count
        except RuntimeError:
            count = None
        if expected is not None or count is None:
            assert count == expected, path
            checked += expected is not None
        else:
            assert count > 0
    assert checked >= min(3, len(paths)) > 0


def test_the_viewers_default_model_is_the_demo_hull_wound_outwards():
    from facetview.models import open_model

    model = open_model(None)
    assert (model.mesh.name, model.mesh.size, model.title) == ("demo hull", Mesh.demo().size, "demo hull")
    # The demo's faces turned round: the eye sees the outer ones, another picture than the demo's.
    outward = Mesh.from_arrays(DEMO_VERTICES, [face[::-1] for face in DEMO_FACES], normalize=False)
    assert f.render(model.mesh, CAMERA, 40, 30) == f.render(outward, CAMERA, 40, 30)
    assert f.render(model.mesh, CAMERA, 40, 30) != f.render(Mesh.demo(), CAMERA, 40, 30)
