"""facetview.show() without a terminal: a clear error and nothing written, or a PNG file."""

import pytest
from PIL import Image

import facetview as f


def test_outside_a_terminal_nothing_is_written(capfdbinary):
    with pytest.raises(OSError, match="^show\\(\\) draws into a terminal, and standard output is not one; "
                                     "pass path= to save a PNG file instead$"):
        f.show(f.Mesh.demo())
    assert capfdbinary.readouterr().out == b""


@pytest.mark.parametrize("from_file, options, cells", [
    (True, dict(cols=40, quality="low"), (40, 20)), (True, dict(quality="low"), (80, 40)),
    (True, dict(cols=30, rows=3, quality="low"), (30, 3)),
    (False, dict(cols=8, rows=4), (8, 4)),  # the best quality, where the build lacks "full" the next one
])
def test_path_saves_the_picture_of_the_cells(tmp_path, capfdbinary, from_file, options, cells):
    model = tmp_path / "part.obj"
    model.write_text("v 0 0 0\nv 4 0 0\nv 0 3 0\nv 0 0 2\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n")
    f.show(str(model) if from_file else f.Mesh.demo(), **options, path=tmp_path / "part.png")
    try:
        surface = f.Surface(options.get("quality", "full"))
    except ValueError:
        surface = f.Surface("high")
    with Image.open(tmp_path / "part.png") as picture:
        assert (picture.format, picture.size) == ("PNG", surface.framebuffer_size(f.Viewport(0, 0, *cells)))
    assert capfdbinary.readouterr().out == b""


def test_bad_sizes_are_refused(monkeypatch):
    monkeypatch.setattr("os.isatty", lambda fd: True)
    monkeypatch.setattr("facetview._show.terminal_size", lambda fd: (80, 24))
    with pytest.raises(ValueError, match="^cols must be at least 1, not 0$"):
        f.show(f.Mesh.demo(), cols=0, protocol="blocks")
