"""How true sixel images and 256-colour cells are to the frame: each decoded as a
terminal would show it and compared pixel by pixel with render() of the same scene, on
the demo and two real models."""

import numpy as np
import pytest

import facetview as f
from cell_text import replay_cells, replay_sixel
from facetview.models import open_model

CAMERA = f.Camera(pitch=0.35, yaw=0.5)
COLS, ROWS, CELL = 80, 24, (10, 20)  # 800 x 480 pixels at "high", unscaled
SCENES = ["demo", "openscad/testdata/stl/adns2610_dev_circuit_inv.stl", "openscad/testdata/scad/3D/features/import.3mf"]


@pytest.fixture(params=SCENES)
def mesh(request):
    if request.param == "demo":
        return open_model(None).mesh
    path = request.getfixturevalue("models") / request.param
    if not path.exists():
        pytest.skip(f"{request.param} is not in the test-model packages")
    return f.Mesh.load(str(path))


def frame_of(mesh, width, height):
    return np.frombuffer(f.render(mesh, CAMERA, width, height), np.uint8).reshape(height, width, 4)[..., :3]


def sixel_screen(capfdbinary, mesh):
    """The sixel image the surface writes for the whole 800 x 480 viewport, decoded."""
    capfdbinary.readouterr()
    f.Surface("high", protocol="sixel", cell_size=CELL).render_to_terminal(
        mesh, CAMERA, f.Viewport(0, 0, COLS, ROWS))
    data = capfdbinary.readouterr().out
    screen = replay_sixel(data, *CELL, COLS, ROWS)
    assert all(pixel is not None for line in screen for pixel in line)
    return data, np.array(screen, dtype=np.int32)


def test_sixel_palette_figures(capfdbinary, mesh):
    data, shown = sixel_screen(capfdbinary, mesh)
    frame = frame_of(mesh, COLS * CELL[0], ROWS * CELL[1])
    error = shown - frame
    assert np.abs(error).mean(axis=(0, 1)).max() <= 1.2
    assert np.percentile(np.abs(error), 99) <= 4
    assert np.abs(error.mean(axis=(0, 1))).max() <= 0.5  # no tint
    assert len(data) <= 100_000
    # The background gradient down the first column keeps many of the frame's levels.
    levels = lambda column: len({tuple(pixel) for pixel in column})
    assert levels(frame[:, 0]) >= 40 and levels(shown[:, 0]) >= 15


def test_256_colour_cells_match_the_frame_in_blocks_of_4x4_pixels(capfdbinary, monkeypatch, mesh):
    monkeypatch.setenv("COLORTERM", "")
    monkeypatch.setenv("TERM", "xterm-256color")
    cols, rows = 200, 60
    capfdbinary.readouterr()
    f.Surface("high", protocol="blocks").render_to_terminal(mesh, CAMERA, f.Viewport(0, 0, cols, rows))
    cells = replay_cells(capfdbinary.readouterr().out, cols, rows)
    shown = np.array([[pair[half] for pair in line] for line in cells for half in (0, 1)], dtype=np.float64)
    frame = frame_of(mesh, cols, 2 * rows).astype(np.float64)

    def blocks(pixels):  # means of 4 x 4 pixels: 4 columns and 2 rows of cells
        return pixels.reshape(2 * rows // 4, 4, cols // 4, 4, 3).mean(axis=(1, 3))

    error = blocks(shown) - blocks(frame)
    assert np.abs(error).mean(axis=(0, 1)).max() <= 3.5
    assert np.abs(error.mean(axis=(0, 1))).max() <= 1
