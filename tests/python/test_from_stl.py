"""Mesh.from_stl: loading, normalization and the one failure message."""

import struct

import pytest

from facetview import Camera, Mesh, Surface, Viewport

# A cube from (0, 0, 0) to (1, 1, 1): two triangles on each face, outward winding.
CORNERS = [(x, y, z) for x in (0, 1) for y in (0, 1) for z in (0, 1)]
QUADS = [(0, 2, 6, 4), (1, 5, 7, 3), (0, 4, 5, 1), (2, 3, 7, 6), (0, 1, 3, 2), (4, 6, 7, 5)]
CUBE_FACES = [tuple(CORNERS[i] for i in corners) for a, b, c, d in QUADS for corners in ((a, b, c), (a, c, d))]
FACET = b"facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"


def binary_stl(triangles, header=b""):
    records = b"".join(struct.pack("<12fH", 0, 0, 0, *(c for vertex in triangle for c in vertex), 0)
                       for triangle in triangles)
    return header.ljust(80, b"\0") + struct.pack("<I", len(triangles)) + records


@pytest.mark.parametrize("path, content", [
    ("empty.stl", b""),
    ("zero.stl", binary_stl([])),
    ("number.stl", b"solid x\nfacet normal 0 0 1\nvertex 0 0 x\n"),
    ("latin1.stl", b"solid caf\xe9\n"),
    ("missing.stl", None), ("", None), (".", None), ("dir/../missing.stl", None), ("naïve ☃.stl", None),
    ("a\0b.stl", None),  # must not open "a"
])
def test_unreadable_files_give_one_message(tmp_path, monkeypatch, path, content):
    (tmp_path / "a").write_bytes(binary_stl(CUBE_FACES))
    if content is not None:
        (tmp_path / path).write_bytes(content)
    monkeypatch.chdir(tmp_path)
    for given in (path, str(tmp_path / path)):
        with pytest.raises(RuntimeError) as error:
            Mesh.from_stl(path=given)
        assert error.value.args == (f"failed to load STL from {given}",)
        assert error.value.__cause__ is None and error.value.__context__ is None


@pytest.mark.parametrize("content, file_name, name, triangles", [
    (binary_stl(CUBE_FACES, b"solid cube"), "box.stl", "solid cube", 12),
    (binary_stl(CUBE_FACES), "part.v2.stl", "part.v2", 12),
    (b"solid my  part\n" + FACET + b"endsolid\n", "p.stl", "my part", 1),
    (b"solid\n" + FACET * 3 + b"endsolid\n", "Grüße.stl", "Grüße", 3),
])
def test_loaded_mesh_name_and_count(tmp_path, content, file_name, name, triangles):
    (tmp_path / file_name).write_bytes(content)
    mesh = Mesh.from_stl(str(tmp_path / file_name))
    assert (mesh.name, mesh.triangle_count, repr(mesh)) == (name, triangles, f'Mesh(name="{name}", triangles={triangles})')


def test_loaded_meshes_are_normalized(tmp_path, capfdbinary):
    surface, path = Surface("low"), tmp_path / "m.stl"

    def frame_bytes(scale, offset):
        path.write_bytes(binary_stl([tuple(tuple(c * scale + offset for c in v) for v in t) for t in CUBE_FACES]))
        surface.render_to_terminal(Mesh.from_stl(str(path)), Camera(), Viewport(0, 0, 16, 8))
        return capfdbinary.readouterr().out

    assert frame_bytes(1.0, 0.0) != b""
    # The same cube, much larger and elsewhere, normalizes to the same model: nothing new is sent.
    assert frame_bytes(250.0, -1000.0) == b""
    # All corners in one point: only the background is left.
    assert frame_bytes(0.0, 7.0) != b""
