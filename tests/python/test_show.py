"""facetview.show() without a terminal: a clear error and nothing written, or a PNG file."""

import struct

import pytest

import facetview as f


def test_outside_a_terminal_nothing_is_written(capfdbinary):
    with pytest.raises(OSError, match="^show\\(\\) draws into a terminal, and standard output is not one; "
                                     "pass path= to save a PNG file instead$"):
        f.show(f.Mesh.demo())
    assert capfdbinary.readouterr().out == b""


def png_size(path):
    header = path.read_bytes()[:24]
    assert header[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", header[16:24])


@pytest.mark.parametrize("cols, rows, cells", [(40, None, (40, 20)), (None, None, (80, 40)), (30, 3, (30, 3))])
def test_path_saves_the_picture_of_the_cells(tmp_path, capfdbinary, cols, rows, cells):
    model = tmp_path / "part.obj"
    model.write_text("v 0 0 0\nv 4 0 0\nv 0 3 0\nv 0 0 2\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n")
    f.show(str(model), cols=cols, rows=rows, quality="low", path=tmp_path / "part.png")
    assert png_size(tmp_path / "part.png") == f.Surface("low").framebuffer_size(f.Viewport(0, 0, *cells))
    assert capfdbinary.readouterr().out == b""


def test_full_quality_falls_back_where_the_build_lacks_it(tmp_path):
    f.show(f.Mesh.demo(), cols=8, rows=4, path=tmp_path / "best.png")
    try:
        best = f.Surface("full")
    except ValueError:
        best = f.Surface("high")
    assert png_size(tmp_path / "best.png") == best.framebuffer_size(f.Viewport(0, 0, 8, 4))


def test_bad_sizes_are_refused(monkeypatch):
    monkeypatch.setattr("os.isatty", lambda fd: True)
    monkeypatch.setattr("facetview._show.terminal_size", lambda fd: (80, 24))
    with pytest.raises(ValueError, match="^cols must be at least 1, not 0$"):
        f.show(f.Mesh.demo(), cols=0, protocol="blocks")
