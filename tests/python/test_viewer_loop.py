"""The viewer loop with a recording surface: keys, their limits, resizes and slow frames."""

import math
import os
import pty

import pytest

from facetview.models import open_model
from facetview.terminal import CLEAR_SCREEN, TerminalSession
from facetview.viewer import DRAG_TURN_PER_WIDTH, PAN_STEP, SPIN_RATE, TURN_STEP, Pose, Viewer

START = Pose(pitch=0.25, yaw=-0.5, roll=0.125, zoom=1.0)


class Clock:
    """Moves on by more than a frame period whenever it is read: waits never take real time."""
    now = 0.0

    def __call__(self):
        self.now += 0.05
        return self.now


class RecordingSurface:
    """Notes each frame's camera (angles and zoom), target, projection, overlays and viewport;
    a frame costs a second of the clock."""

    protocol = "kitty"

    def __init__(self, clock):
        self.clock = clock
        self.frames, self.views, self.qualities, self.clears = [], [], [], 0
        self.edges = self.axis_triad = False

    def render_to_terminal(self, mesh, camera, viewport):
        self.frames.append(((camera.pitch, camera.yaw, camera.roll, 3.25 / camera.distance),
                            (viewport.col, viewport.row, viewport.cols, viewport.rows)))
        self.views.append((camera.target, camera.orthographic, self.edges, self.axis_triad))
        self.clock.now += 1.0
        return (1, 1)

    def framebuffer_size(self, viewport):
        return viewport.cols * 10, viewport.rows * 20

    def reduction(self, viewport):
        return 1

    def set_quality(self, quality):
        self.qualities.append(quality)

    def clear(self):
        self.clears += 1


@pytest.fixture
def terminal():
    """(keyboard fd, input fd, output read fd, output write fd) on a pseudo-terminal and a pipe."""
    master, slave = pty.openpty()
    output_read, output_write = os.pipe()
    os.set_blocking(output_read, False)
    yield master, slave, output_read, output_write
    for fd in (master, slave, output_read, output_write):
        os.close(fd)


def run_viewer(terminal, keys, frames, spin=False, sizes=((40, 10),)):
    """Runs the viewer for at most `frames` frames with keys typed before the start.

    Every frame costs a second at 30 fps, so no time is ever left to wait in:
    the keys are read all the same.
    """
    master, slave, _, output_write = terminal
    clock = Clock()
    surface = RecordingSurface(clock)
    size_calls = iter(list(sizes) + [sizes[-1]] * frames)
    with TerminalSession(out_fd=output_write, in_fd=slave) as session:
        os.write(master, keys)  # in raw mode, as a user would type them
        viewer = Viewer(surface, open_model(None), session, lambda: next(size_calls), start=START,
                        fps=30, spin=spin, clock=clock)
        viewer.run(frame_limit=frames)
    return viewer, surface


def test_a_quit_key_ends_the_loop_even_when_frames_take_longer_than_their_period(terminal):
    viewer, surface = run_viewer(terminal, b"q", frames=50)
    assert (viewer.quit_requested, len(surface.frames)) == (True, 1)


# Mouse reports as the terminal sends them: SGR form, cells counted from 1.
def mouse(flags, col, row, release=False):
    return b"\x1b[<%d;%d;%d%s" % (flags, col, row, b"m" if release else b"M")


def moved_target(right, up):
    towards_right, towards_up = START.view_axes()
    return tuple(right * r + up * u for r, u in zip(towards_right, towards_up))


STEP = PAN_STEP * START.view_height()
# The viewport is 40 x 9 cells of 10 x 20 pixels: 400 x 180, so the view spans
# 400 / 180 times its height across.
WIDTH = START.view_height() * 400 / 180
DRAG = DRAG_TURN_PER_WIDTH / 40  # radians per column of the 40 columns
AXIS_VIEWS = {b"f": (0, 0), b"F": (0, math.pi), b"s": (0, -math.pi / 2), b"S": (0, math.pi / 2),
              b"t": (math.pi / 2, 0), b"T": (-math.pi / 2, 0)}


def state(spinning=False, target=(0, 0, 0), orthographic=False, edges=False, axes=False, **pose):
    """The viewer's state in numbers: START but for the changes given."""
    pose = dict(dict(pitch=START.pitch, yaw=START.yaw, roll=START.roll, zoom=1.0), **pose)
    return [*pose.values(), *target, orthographic, edges, axes, spinning]


@pytest.mark.parametrize("keys, spin, expected", [
    (b"lk", False, state(yaw=START.yaw + TURN_STEP, pitch=START.pitch - TURN_STEP)),
    (b"hj", False, state(yaw=START.yaw - TURN_STEP, pitch=START.pitch + TURN_STEP)),
    # The zoom stops at its limits, so the way back starts at once.
    (b"+" * 60 + b"-", False, state(zoom=100 / 1.1)),
    (b"-" * 30 + b"=", False, state(zoom=0.1 * 1.1)),
    # The fitted view again, in the chosen projection.
    (b"lljk+-oLr", False, state(orthographic=True)),
    # Axis views turn the model and hold the turntable.
    *[(key, True, state(pitch=pitch, yaw=yaw)) for key, (pitch, yaw) in AXIS_VIEWS.items()],
    (b"LK", False, state(target=moved_target(STEP, STEP))),
    (b"HJ", False, state(target=moved_target(-STEP, -STEP))),
    (b"oea", False, state(orthographic=True, edges=True, axes=True)),
    (b"oeaoea", False, state()),
    # Space pauses the turntable and starts it again.
    (b"", True, state(True, yaw=START.yaw + 2 * SPIN_RATE / 30)),
    (b" ", True, state()),
    (b"  ", True, state(True, yaw=START.yaw + 2 * SPIN_RATE / 30)),
    # A left-button drag of 4 columns right and 2 rows down turns the model.
    (mouse(0, 10, 5) + mouse(32, 12, 6) + mouse(32, 14, 7) + mouse(0, 14, 7, True), False,
     state(pitch=START.pitch + 2 * 2 * DRAG, yaw=START.yaw + 4 * DRAG)),
    # The turntable holds while the button is down.
    (mouse(0, 10, 5) + mouse(32, 6, 5), True, state(True, yaw=START.yaw - 4 * DRAG)),
    # Motion without a press turns nothing.
    (mouse(32, 12, 6) + mouse(35, 12, 6), False, state()),
    # Right, middle and shift+left drags: the model follows the pointer.
    (mouse(2, 10, 5) + mouse(34, 14, 5) + mouse(2, 14, 5, True), False, state(target=moved_target(-4 * WIDTH / 40, 0))),
    (mouse(1, 10, 5) + mouse(33, 10, 8), False, state(target=moved_target(0, 3 * START.view_height() / 9))),
    (mouse(4, 10, 5) + mouse(36, 8, 5), False, state(target=moved_target(2 * WIDTH / 40, 0))),
])
def test_keys_and_the_mouse_change_the_view(terminal, keys, spin, expected):
    viewer, surface = run_viewer(terminal, keys, frames=3, spin=spin)
    (camera, _), (target, *views) = surface.frames[-1], surface.views[-1]
    assert [*camera, *target, *views, viewer.spinning] == pytest.approx(expected, rel=1e-6, abs=1e-6)


def test_quality_keys_reach_the_surface_and_the_status_line(terminal):
    viewer, surface = run_viewer(terminal, b"31", frames=2, sizes=[(100, 10)])
    assert (surface.qualities, viewer.quality) == (["high", "low"], "low")
    status = [line.partition(b"\x1b[K")[0] for line in os.read(terminal[2], 65536).split(b"\x1b[10;1H")[1:]]
    line = "demo hull | 12 triangles | 1.9 × 1.4 × 1.4 | {} | kitty graphics | zoom 1× | paused"
    assert status == [line.format(quality).encode() for quality in ("medium", "low")]


def test_a_resize_clears_the_screen_and_fills_the_new_size(terminal):
    _, surface = run_viewer(terminal, b"", frames=3, sizes=[(40, 10), (40, 10), (60, 1)])
    assert [viewport for _, viewport in surface.frames] == [(0, 0, 40, 9), (0, 0, 60, 1)]
    assert surface.clears == 1
    output = os.read(terminal[2], 65536)
    # The status line goes to the last row of each size; a single row holds the picture alone.
    assert output.count(b"\x1b[10;1Hdemo hull") == 1 and b"\x1b[1;1H" not in output
    assert output.index(b"\x1b[10;1H") < output.rindex(CLEAR_SCREEN)


@pytest.mark.parametrize("flags, col, row, factor", [(64, 35, 2, 1.1), (65, 4, 8, 1 / 1.1)])
def test_the_wheel_zooms_towards_the_pointer(terminal, flags, col, row, factor):
    after = run_viewer(terminal, mouse(flags, col, row), frames=2)[0].pose
    # The model point under the pointer's cell, at the target's depth, stays under it.
    right, up = ((col - 0.5) / 40 - 0.5) * WIDTH, (0.5 - (row - 0.5) / 9) * START.view_height()
    offset = [p - t for p, t in zip(moved_target(right, up), after.target)]
    seen = [sum(o * a for o, a in zip(offset, axis)) * after.zoom for axis in after.view_axes()]
    assert [after.zoom, *seen] == pytest.approx([factor, right, up], rel=1e-9, abs=1e-9)
