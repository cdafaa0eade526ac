"""Colours from model files and arrays: the renderer shades each face in its own colour."""

import pytest

import facetview as f
from conftest import model_files
from facetview import Camera, Mesh

STRAIGHT = Camera(0.0, 0.0, 0.0, 1.0)
# A square in the z = 0 plane, counter-clockwise seen from +z, as two triangles.
SQUARE = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0)]
SQUARE_FACES = [(0, 1, 2), (0, 2, 3)]


def rgb_at(mesh, size=40, x=None, y=None):
    """The (r, g, b) at (x, y), by default the middle, of a frame of the mesh seen straight on."""
    at = ((size // 2 if y is None else y) * size + (size // 2 if x is None else x)) * 4
    return tuple(f.render(mesh, STRAIGHT, size, size)[at:at + 3])


def dominant(rgb):
    """The channel (0, 1, 2) that clearly leads, else None."""
    best = max(range(3), key=lambda k: rgb[k])
    others = [rgb[k] for k in range(3) if k != best]
    return best if rgb[best] > 2 * max(others) else None


# How each format holds its colours is pinned in the C++ tests; a painted OBJ file, its materials
# read from beside it, shows how a loaded model's colours reach the frame.
def test_a_painted_file_renders_its_colour(tmp_path):
    for file_name, content in model_files(SQUARE, SQUARE_FACES, (40, 40, 248)).items():
        (tmp_path / file_name).write_bytes(content)
    mesh = Mesh.load(tmp_path / "part.obj")
    assert mesh.has_colors and dominant(rgb_at(mesh)) == 2
    # Turned off, the plain shading is back, pixel for pixel.
    plain = mesh.without_colors()
    keeps = lambda m: (m.name, m.triangle_count, m.size, m.source_path, m.warnings)
    assert not plain.has_colors and keeps(plain) == keeps(mesh)
    assert f.render(plain, STRAIGHT, 40, 40) == f.render(Mesh.from_arrays(SQUARE, SQUARE_FACES), STRAIGHT, 40, 40)


@pytest.mark.parametrize("colors, expected", [([(255, 0, 0), (0, 0, 255)], [0, 2]), ([(1.0, 0, 0), (0, 1.0, 0)], [0, 1])])
def test_from_arrays_colours_per_face(colors, expected):
    mesh = Mesh.from_arrays(SQUARE, SQUARE_FACES, colors=colors)
    # The lower right half is face 0, the upper left face 1.
    assert [dominant(rgb_at(mesh, 40, 28, 30)), dominant(rgb_at(mesh, 40, 12, 10))] == expected

