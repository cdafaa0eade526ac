"""facetview in a real kitty terminal: the screen shows the frame the surface rendered, at a
quality's cells and at the terminal's own."""

import os
import signal

import pytest

import facetview as f
from facetview.models import open_model
from kitty_stream import decode_frame
from tmux_server import wait_for
from x_terminal import close_enough, kitty, missing_tools, region_mean

COLS, ROWS = 48, 14
CAMERA = dict(pitch=0.3, yaw=0.8, roll=0.1, zoom=1.2)
# Per-channel difference allowed between a cell on screen and in the frame (kitty scales
# each tile to its cells with interpolation), and the share of cells that must stay within it.
TOLERANCE, MATCHING_SHARE = 8.0, 0.98

pytestmark = pytest.mark.skipif(
    bool(missing_tools("kitty")),
    reason=f"needs {', '.join(missing_tools('kitty'))}: install the Debian packages in scripts/e2e-packages.txt")


def rendered_cells(capfdbinary, camera, viewport, session):
    """Cell means of the frame the surface sends of the viewer's default model for this camera,
    decoded from what it writes to fd 1; "full" frames have the terminal's cell size."""
    surface = f.Surface(session.quality, cell_size=(session.cell_width, session.cell_height))
    surface.render_to_terminal(open_model(None).mesh, f.Camera(**camera), viewport)
    width, height, frame = decode_frame(capfdbinary.readouterr().out, viewport.cols, viewport.rows)
    if session.quality == "full":
        assert (width, height) == (viewport.cols * session.cell_width, viewport.rows * session.cell_height)
    cw, ch = width // viewport.cols, height // viewport.rows
    return [region_mean(frame, col * cw, row * ch, (col + 1) * cw, (row + 1) * ch, width, 4)
            for row in range(viewport.rows) for col in range(viewport.cols)]


def share_matching(screen_cells, frame_cells, which=None):
    which = range(len(frame_cells)) if which is None else which
    return sum(close_enough(screen_cells[i], frame_cells[i], TOLERANCE) for i in which) / len(which)


@pytest.fixture(params=["medium", "full"])
def session(tmp_path, request):
    with kitty(tmp_path, COLS, ROWS, ["--once", "--hold", "60", "--quality", request.param,
                                      *(f"--{k}={v}" for k, v in CAMERA.items())]) as session:
        session.quality = request.param
        yield session


def test_viewer_frame_appears_on_screen_and_goes_when_it_quits(session, capfdbinary):
    viewport = f.Viewport.full_screen(session.cols, session.rows, 1)
    frame_cells = rendered_cells(capfdbinary, CAMERA, viewport, session)
    other_cells = rendered_cells(capfdbinary, dict(CAMERA, yaw=CAMERA["yaw"] + 1.2), viewport, session)

    def screen_cells():
        shot = session.screenshot()
        return [session.cell_mean(shot, col, row) for row in range(viewport.rows + 1) for col in range(viewport.cols)]

    def matching_screen():
        cells = screen_cells()
        return cells if share_matching(cells, frame_cells) >= MATCHING_SHARE else None

    cells = wait_for(matching_screen,
                     lambda: f"screen matches the frame in {share_matching(screen_cells(), frame_cells):.0%} of the cells")
    # The comparison tells views apart where they differ, and the status line is
    # drawn below the viewport.
    differing = [i for i, (a, b) in enumerate(zip(frame_cells, other_cells)) if not close_enough(a, b, TOLERANCE)]
    assert len(differing) > len(frame_cells) // 10
    assert share_matching(cells, frame_cells, differing) >= MATCHING_SHARE
    assert share_matching(cells, other_cells, differing) < 0.2
    assert max(map(max, cells[-viewport.cols:])) > 20

    os.kill(session.program_pid, signal.SIGTERM)
    assert session.program_status(timeout=20) == 128 + signal.SIGTERM
    wait_for(lambda: max(map(max, screen_cells())) <= 2, "the picture stayed on the screen after the viewer ended", 10)
