"""Colours from model files and arrays: the renderer shades each face in its own colour."""

import struct
import zipfile
from array import array

import pytest

import facetview as f
from facetview import Camera, Mesh

STRAIGHT = Camera(0.0, 0.0, 0.0, 1.0)
# A square in the z = 0 plane, counter-clockwise seen from +z, as two triangles.
SQUARE = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
SQUARE_FACES = [(0, 1, 2), (0, 2, 3)]


def three_mf(rgb):
    vertices = "".join(f'<vertex x="{x}" y="{y}" z="{z}"/>' for x, y, z in SQUARE)
    triangles = "".join(f'<triangle v1="{a}" v2="{b}" v3="{c}"/>' for a, b, c in SQUARE_FACES)
    model = ('<?xml version="1.0"?><model xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02">'
             f'<resources><basematerials id="7"><base name="paint" displaycolor="#{bytes(rgb).hex()}"/>'
             f'</basematerials><object id="1" pid="7" pindex="0"><mesh><vertices>{vertices}</vertices>'
             f'<triangles>{triangles}</triangles></mesh></object></resources>'
             '<build><item objectid="1"/></build></model>')
    return {"square.3mf": model}


def ply(rgb):
    header = ("ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\n"
              "property float z\nproperty uchar red\nproperty uchar green\nproperty uchar blue\n"
              "element face 1\nproperty list uchar int vertex_indices\nend_header\n")
    rows = "".join(f"{x} {y} {z} {rgb[0]} {rgb[1]} {rgb[2]}\n" for x, y, z in SQUARE)
    return {"square.ply": header + rows + "4 0 1 2 3\n"}


def obj(rgb):
    kd = " ".join(f"{channel / 255:.4f}" for channel in rgb)
    vertices = "".join(f"v {x} {y} {z}\n" for x, y, z in SQUARE)
    return {"square.obj": f"mtllib paint.mtl\n{vertices}usemtl paint\nf 1 2 3 4\n",
            "paint.mtl": f"newmtl paint\nKd {kd}\n"}


def stl(rgb):
    # Bit 15 marks the colour; blue in the low five bits.
    word = 0x8000 | (rgb[0] >> 3) << 10 | (rgb[1] >> 3) << 5 | rgb[2] >> 3
    records = b"".join(struct.pack("<12fH", 0, 0, 1, *(c for i in face for c in SQUARE[i]), word)
                       for face in SQUARE_FACES)
    return {"square.stl": b"painted".ljust(80, b"\0") + struct.pack("<I", 2) + records}


def write_files(directory, files):
    for name, content in files.items():
        if name.endswith(".3mf"):
            with zipfile.ZipFile(directory / name, "w") as archive:
                archive.writestr("3D/3dmodel.model", content)
        else:
            (directory / name).write_bytes(content if isinstance(content, bytes) else content.encode())
    return directory / next(iter(files))


def centre(mesh, size=40):
    """The (r, g, b) at the middle of a frame of the mesh seen straight on."""
    frame = f.render(mesh, STRAIGHT, size, size)
    at = (size // 2 * size + size // 2) * 4
    return tuple(frame[at:at + 3])


def dominant(rgb):
    """The channel (0, 1, 2) that clearly leads, else None."""
    best = max(range(3), key=lambda k: rgb[k])
    others = [rgb[k] for k in range(3) if k != best]
    return best if rgb[best] > 2 * max(others) else None


@pytest.mark.parametrize("make", [three_mf, ply, obj, stl])
@pytest.mark.parametrize("channel", [0, 1, 2])
def test_generated_files_render_their_colour(tmp_path, make, channel):
    rgb = [40, 40, 40]
    rgb[channel] = 248
    mesh = Mesh.load(write_files(tmp_path, make(rgb)))
    assert mesh.has_colors
    assert dominant(centre(mesh)) == channel
    # Turned off, the plain shading is back, pixel for pixel.
    plain = mesh.without_colors()
    assert not plain.has_colors
    assert f.render(plain, STRAIGHT, 40, 40) == f.render(Mesh.from_arrays(SQUARE, SQUARE_FACES), STRAIGHT, 40, 40)


def test_real_coloured_files_load_with_their_colours(models):
    ply_blue = Mesh.load(models / "assimp/models/PLY/float-color.ply")
    assert ply_blue.has_colors
    assert dominant(centre(ply_blue, 60)) == 2
    # Materials whose names hold spaces; Kd 0.14 0.18 0.41 is a dark blue.
    obj_blue = Mesh.load(models / "assimp/models/OBJ/space_in_material_name.obj")
    assert obj_blue.has_colors
    assert not Mesh.load(models / "assimp/models/OBJ/box.obj").has_colors
    assert not Mesh.load(models / "assimp/models/3MF/box.3mf").has_colors


@pytest.mark.parametrize("colors, expected", [
    ([(255, 0, 0), (0, 0, 255)], [0, 2]),
    ([(1.0, 0.0, 0.0), (0.0, 1.0, 0.0)], [0, 1]),
    (array("B", [0, 255, 0, 255, 0, 0]), None),  # flat: not (n, 3)
])
def test_from_arrays_colours_per_face(colors, expected):
    if expected is None:
        with pytest.raises(ValueError, match=r"colors must have the shape \(n, 3\)"):
            Mesh.from_arrays(SQUARE, SQUARE_FACES, colors=memoryview(colors))
        return
    mesh = Mesh.from_arrays(SQUARE, SQUARE_FACES, colors=colors)
    frame = f.render(mesh, STRAIGHT, 40, 40)
    # The lower right half is face 0, the upper left face 1.
    lower_right = frame[(30 * 40 + 28) * 4:][:3]
    upper_left = frame[(10 * 40 + 12) * 4:][:3]
    assert [dominant(lower_right), dominant(upper_left)] == expected


@pytest.mark.parametrize("colors, error, message", [
    ([(1, 2, 3)], ValueError, r"colors must have one row per face \(2\) or per vertex \(4\), not 1"),
    ([(256, 0, 0)] * 2, ValueError, "colors given as whole numbers must be 0 to 255"),
    (memoryview(array("i", [0] * 6)).cast("B").cast("i", (2, 3)), TypeError,
     "colors must hold uint8 or float numbers, not items of format 'i'"),
])
def test_from_arrays_refuses_bad_colours(colors, error, message):
    with pytest.raises(error, match=message):
        Mesh.from_arrays(SQUARE, SQUARE_FACES, colors=colors)


def test_per_vertex_colours_are_averaged():
    mesh = Mesh.from_arrays(SQUARE, SQUARE_FACES, colors=[(0, 0, 255)] * 4)
    assert dominant(centre(mesh)) == 2
