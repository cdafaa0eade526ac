"""Navigating in a real tmux pane: the pane holds exactly the frame's pixels, and what tmux
passes on of an escape sequence, mouse reports and plain keys changes the view, cell for cell
against the frames of the same poses. (What each key does is pinned in the viewer loop's tests.)"""

import sys

from facetview.viewer import PAN_STEP, Pose
from cell_text import replay_cells
from test_cell_terminals import COLS, DETECT, ROWS, detected, rendered_output
from tmux_server import Tmux, needs_tmux, wait_for

START = Pose(pitch=0.3, yaw=0.8, roll=0.1, zoom=1.2)
VIEWER = [sys.executable, "-c", DETECT, "--no-spin", "--quality", "medium",
          "--pitch=0.3", "--yaw=0.8", "--roll=0.1", "--zoom=1.2"]


def expected_cells(capfdbinary, monkeypatch, pose, overlays=False):
    drawn = rendered_output(capfdbinary, monkeypatch, "blocks", True, camera=pose.camera("y"), axes=overlays, edges=overlays)
    return replay_cells(drawn, COLS, ROWS)[:ROWS - 1]


def send(tmux, data):
    tmux.run("send-keys", "-H", *(f"{byte:02x}" for byte in data))


def wait_for_cells(tmux, expected, what):
    wait_for(lambda: replay_cells(tmux.capture("-e"), COLS, ROWS)[:ROWS - 1] == expected,
             f"the pane does not show {what}")


def mouse(flags, col, row, release=False):
    return b"\x1b[<%d;%d;%d%s" % (flags, col, row, b"m" if release else b"M")


@needs_tmux
def test_keys_and_mouse_pan_and_switch_overlays(tmp_path, capfdbinary, monkeypatch):
    with Tmux(tmp_path, VIEWER, COLS, ROWS) as tmux:
        pose = START
        wait_for_cells(tmux, expected_cells(capfdbinary, monkeypatch, pose), "the first frame")
        # tmux answers the queries, and the viewer picks half-blocks there.
        assert detected(tmp_path)[:2] == ("blocks", True)
        width_per_height = COLS / (2 * (ROWS - 1))  # half-blocks: 1 x 2 pixels a cell
        steps = [
            (b"\x1b[1;2A", lambda p: p.moved(0.0, PAN_STEP * p.view_height()), False),
            # A right-button drag of 4 columns to the left: the model follows the pointer.
            (mouse(2, 20, 5) + mouse(34, 16, 5) + mouse(2, 16, 5, True),
             lambda p: p.moved(4 * p.view_height() * width_per_height / COLS, 0.0), False),
            (b"ea", lambda p: p, True),
        ]
        for keys, change, overlays in steps:
            pose = change(pose)
            send(tmux, keys)
            wait_for_cells(tmux, expected_cells(capfdbinary, monkeypatch, pose, overlays), repr(keys))
        send(tmux, b"q")
