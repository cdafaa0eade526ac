"""Mesh.from_stl: loading, normalization and the one failure message."""

import struct

import pytest

from facetview import Camera, Mesh, Surface, Viewport

# A cube from (0, 0, 0) to (1, 1, 1) as twelve triangles, outward winding.
CUBE_FACES = [
    ((0, 0, 0), (0, 1, 0), (1, 1, 0)), ((0, 0, 0), (1, 1, 0), (1, 0, 0)),
    ((0, 0, 1), (1, 0, 1), (1, 1, 1)), ((0, 0, 1), (1, 1, 1), (0, 1, 1)),
    ((0, 0, 0), (1, 0, 0), (1, 0, 1)), ((0, 0, 0), (1, 0, 1), (0, 0, 1)),
    ((0, 1, 0), (0, 1, 1), (1, 1, 1)), ((0, 1, 0), (1, 1, 1), (1, 1, 0)),
    ((0, 0, 0), (0, 0, 1), (0, 1, 1)), ((0, 0, 0), (0, 1, 1), (0, 1, 0)),
    ((1, 0, 0), (1, 1, 0), (1, 1, 1)), ((1, 0, 0), (1, 1, 1), (1, 0, 1)),
]


def binary_stl(triangles, header=b""):
    records = b"".join(
        struct.pack("<12fH", 0, 0, 0, *(c for vertex in triangle for c in vertex), 0)
        for triangle in triangles
    )
    return header.ljust(80, b"\0") + struct.pack("<I", len(triangles)) + records


def ascii_stl(name, triangles):
    lines = [f"solid {name}"]
    for triangle in triangles:
        lines += ["facet normal 0 0 0", "outer loop"]
        lines += ["vertex {} {} {}".format(*vertex) for vertex in triangle]
        lines += ["endloop", "endfacet"]
    return ("\n".join(lines) + "\nendsolid\n").encode()


def transformed(triangles, scale, offset):
    return [tuple(tuple(c * scale + offset for c in v) for v in t) for t in triangles]


def write(tmp_path, name, content):
    path = tmp_path / name
    path.write_bytes(content)
    return path


BAD_FILES = [
    ("empty.stl", b""),
    ("zero.stl", binary_stl([])),
    ("number.stl", b"solid x\nfacet normal 0 0 1\nvertex 0 0 x\n"),
    ("latin1.stl", b"solid caf\xe9\n"),
]


@pytest.mark.parametrize("name, content", BAD_FILES, ids=[name for name, _ in BAD_FILES])
def test_unreadable_files_give_one_message(tmp_path, monkeypatch, name, content):
    write(tmp_path, name, content)
    monkeypatch.chdir(tmp_path)
    for path in (name, str(tmp_path / name)):
        with pytest.raises(RuntimeError) as error:
            Mesh.from_stl(path)
        assert error.value.args == (f"failed to load STL from {path}",)
        assert error.value.__cause__ is None and error.value.__context__ is None


@pytest.mark.parametrize("path", ["missing.stl", "", ".", "dir/../missing.stl", "a\0b.stl", "naïve ☃.stl"])
def test_paths_that_name_no_stl_file(tmp_path, monkeypatch, path):
    write(tmp_path, "a", binary_stl(CUBE_FACES))  # "a\0b.stl" must not open "a"
    monkeypatch.chdir(tmp_path)
    with pytest.raises(RuntimeError) as error:
        Mesh.from_stl(path=path)
    assert str(error.value) == f"failed to load STL from {path}"


def test_lone_surrogate_path_raises_unicode_encode_error():
    with pytest.raises(UnicodeEncodeError):
        Mesh.from_stl("model\udc80.stl")


@pytest.mark.parametrize(
    "content, file_name, name",
    [
        (binary_stl(CUBE_FACES, b"solid cube"), "box.stl", "solid cube"),
        (binary_stl(CUBE_FACES), "part.v2.stl", "part.v2"),
        (ascii_stl("my  part", CUBE_FACES), "p.stl", "my part"),
        (ascii_stl("", CUBE_FACES[:3]), "Grüße.stl", "Grüße"),
    ],
)
def test_loaded_mesh_name_and_count(tmp_path, content, file_name, name):
    mesh = Mesh.from_stl(str(write(tmp_path, file_name, content)))
    triangles = content.count(b"vertex") // 3 or len(CUBE_FACES)
    assert (mesh.name, mesh.triangle_count) == (name, triangles)
    assert repr(mesh) == f'Mesh(name="{name}", triangles={triangles})'


def test_loaded_meshes_are_normalized(tmp_path, fd1):
    surface = Surface("low")
    viewport = Viewport(0, 0, 16, 8)

    def frame_bytes(triangles):
        mesh = Mesh.from_stl(str(write(tmp_path, "m.stl", binary_stl(triangles))))
        surface.render_to_terminal(mesh, Camera(), viewport)
        return fd1.take()

    assert frame_bytes(CUBE_FACES) != b""
    # The same cube, much larger and elsewhere, normalizes to the same model:
    # the frame is unchanged, so nothing is sent.
    assert frame_bytes(transformed(CUBE_FACES, 250.0, -1000.0)) == b""
    # All corners in one point: only the background is left.
    assert frame_bytes(transformed(CUBE_FACES, 0.0, 7.0)) != b""
    assert frame_bytes(CUBE_FACES) != b""
