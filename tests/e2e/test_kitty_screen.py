"""facetview in a real kitty terminal: the screen shows the frame the surface rendered, at a
quality's cells and at the terminal's own."""

import os
import signal
import time

import pytest

import facetview as f
from facetview.models import open_model
from kitty_graphics import decode_frame
from kitty_session import SCREEN_WIDTH, KittySession, missing_tools
from screen_compare import close_enough, region_mean

COLS, ROWS = 48, 14
CAMERA = dict(pitch=0.3, yaw=0.8, roll=0.1, zoom=1.2)
# Per-channel difference allowed between a cell on screen and in the frame (kitty scales
# each tile to its cells with interpolation), and the share of cells that must stay within it.
TOLERANCE, MATCHING_SHARE = 8.0, 0.98

pytestmark = pytest.mark.skipif(
    bool(missing_tools()),
    reason=f"needs {', '.join(missing_tools())}: install the Debian packages in scripts/e2e-packages.txt")


def rendered_cells(capfdbinary, camera, viewport, kitty):
    """Cell means of the frame the surface sends of the viewer's default model for this camera,
    decoded from what it writes to fd 1; "full" frames have the terminal's cell size."""
    surface = f.Surface(kitty.quality, cell_size=(kitty.cell_width, kitty.cell_height))
    surface.render_to_terminal(open_model(None).mesh, f.Camera(**camera), viewport)
    width, height, frame = decode_frame(capfdbinary.readouterr().out, viewport.cols, viewport.rows)
    if kitty.quality == "full":
        assert (width, height) == (viewport.cols * kitty.cell_width, viewport.rows * kitty.cell_height)
    return cell_means(frame, width, 4, width // viewport.cols, height // viewport.rows, viewport.cols, viewport.rows)


def cell_means(pixels, stride, channels, cell_width, cell_height, cols, rows, inset=0):
    """Mean R, G, B of every cell, row by row, leaving out inset pixels at each edge."""
    return [region_mean(pixels, stride, channels, col * cell_width + inset, row * cell_height + inset,
                        (col + 1) * cell_width - inset, (row + 1) * cell_height - inset)
            for row in range(rows) for col in range(cols)]


def matches(seen, drawn):
    return close_enough(seen, drawn, TOLERANCE)


def share_matching(screen_cells, frame_cells, which=None):
    which = range(len(frame_cells)) if which is None else which
    return sum(matches(screen_cells[i], frame_cells[i]) for i in which) / len(which)


@pytest.fixture(params=["medium", "full"])
def kitty(tmp_path, request):
    session = KittySession(tmp_path, COLS, ROWS, ["--once", "--hold", "60", "--quality", request.param,
                                                  *(f"--{k}={v}" for k, v in CAMERA.items())])
    session.quality = request.param
    yield session
    session.close()


def test_viewer_frame_appears_on_screen_and_goes_when_it_quits(kitty, capfdbinary):
    viewport = f.Viewport.full_screen(kitty.cols, kitty.rows, 1)
    frame_cells = rendered_cells(capfdbinary, CAMERA, viewport, kitty)
    other_cells = rendered_cells(capfdbinary, dict(CAMERA, yaw=CAMERA["yaw"] + 1.2), viewport, kitty)

    def screen_cells():
        return cell_means(kitty.screenshot(), SCREEN_WIDTH, 3, kitty.cell_width, kitty.cell_height,
                          viewport.cols, viewport.rows + 1, inset=1)

    deadline = time.monotonic() + 30
    while (share := share_matching(cells := screen_cells(), frame_cells)) < MATCHING_SHARE:
        assert time.monotonic() < deadline, f"screen matches the frame in {share:.0%} of the cells"
        time.sleep(0.2)
    # The comparison tells views apart where they differ, and the status line is
    # drawn below the viewport.
    differing = [i for i, (a, b) in enumerate(zip(frame_cells, other_cells)) if not matches(a, b)]
    assert len(differing) > len(frame_cells) // 10
    assert share_matching(cells, frame_cells, differing) >= MATCHING_SHARE
    assert share_matching(cells, other_cells, differing) < 0.2
    assert max(map(max, cells[-viewport.cols:])) > 20

    os.kill(kitty.program_pid, signal.SIGTERM)
    assert kitty.program_status(timeout=20) == 128 + signal.SIGTERM
    deadline = time.monotonic() + 10
    while max(map(max, cells := screen_cells())) > 2:
        assert time.monotonic() < deadline, "the picture stayed on the screen after the viewer ended"
        time.sleep(0.2)
