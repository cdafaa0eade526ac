"""The viewer loop with a recording surface: keys, their limits, resizes and slow frames."""

import math
import os
import pty

import pytest

import facetview as f
from facetview.models import open_model
from facetview.terminal import CLEAR_SCREEN, TerminalSession
from facetview.viewer import DRAG_TURN_PER_WIDTH, SPIN_RATE, TURN_STEP, Pose, Viewer

START = Pose(pitch=0.25, yaw=-0.5, roll=0.125, zoom=1.0)


class Clock:
    """Moves on by more than a frame period whenever it is read: waits never take real time."""

    def __init__(self):
        self.now = 0.0

    def __call__(self):
        self.now += 0.05
        return self.now


class RecordingSurface:
    """Notes each frame's camera and viewport; a frame costs `cost` seconds of the clock."""

    protocol = "kitty"

    def __init__(self, clock, cost):
        self.clock, self.cost = clock, cost
        self.frames, self.qualities, self.clears = [], [], 0

    def render_to_terminal(self, mesh, camera, viewport):
        self.frames.append(((camera.pitch, camera.yaw, camera.roll, camera.zoom),
                            (viewport.col, viewport.row, viewport.cols, viewport.rows)))
        self.clock.now += self.cost
        return (1, 1)

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


def run_viewer(terminal, keys, frames, spin=False, sizes=((40, 10),), cost=1.0):
    """Runs the viewer for at most `frames` frames with keys typed before the start.

    Every frame costs a second at 30 fps, so no time is ever left to wait in:
    the keys are read all the same.
    """
    master, slave, _, output_write = terminal
    clock = Clock()
    surface = RecordingSurface(clock, cost)
    size_calls = iter(list(sizes) + [sizes[-1]] * frames)
    with TerminalSession(out_fd=output_write, in_fd=slave) as session:
        os.write(master, keys)  # in raw mode, as a user would type them
        viewer = Viewer(surface, open_model(None), session, lambda: next(size_calls), start=START,
                        fps=30, spin=spin, clock=clock)
        viewer.run(frame_limit=frames)
    return viewer, surface


def poses(surface):
    return [tuple(round(value, 5) for value in camera) for camera, _ in surface.frames]


def f32(value):
    return round(f.Camera(value).pitch, 5)


def test_a_quit_key_ends_the_loop_even_when_frames_take_longer_than_their_period(terminal):
    viewer, surface = run_viewer(terminal, b"q", frames=50)
    assert (viewer.quit_requested, len(surface.frames)) == (True, 1)


@pytest.mark.parametrize("keys, pose", [
    (b"l", (START.pitch, START.yaw + TURN_STEP, START.roll, 1.0)),
    (b"\x1b[D\x1b[D", (START.pitch, START.yaw - 2 * TURN_STEP, START.roll, 1.0)),
    (b"kk\x1bOA", (START.pitch - 3 * TURN_STEP, START.yaw, START.roll, 1.0)),
    (b"j", (START.pitch + TURN_STEP, START.yaw, START.roll, 1.0)),
    (b"+", (START.pitch, START.yaw, START.roll, 1.1)),
    # The zoom stops at the renderer's limits, so the way back starts at once.
    (b"+" * 40, (START.pitch, START.yaw, START.roll, 2.5)),
    (b"+" * 40 + b"-", (START.pitch, START.yaw, START.roll, 2.5 / 1.1)),
    (b"-" * 40, (START.pitch, START.yaw, START.roll, 0.45)),
    (b"-" * 40 + b"=", (START.pitch, START.yaw, START.roll, 0.45 * 1.1)),
    (b"lljk+-r", (START.pitch, START.yaw, START.roll, 1.0)),
])
def test_keys_move_the_camera(terminal, keys, pose):
    _, surface = run_viewer(terminal, keys, frames=2)
    assert poses(surface)[1] == tuple(f32(value) for value in pose)


@pytest.mark.parametrize("keys, pose", [
    (b"f", (0, 0)), (b"F", (math.pi, 0)), (b"s", (-math.pi / 2, 0)), (b"S", (math.pi / 2, 0)),
    (b"t", (0, math.pi / 2)), (b"T", (0, -math.pi / 2)),
])
def test_axis_views_turn_the_model_and_hold_the_turntable(terminal, keys, pose):
    viewer, surface = run_viewer(terminal, keys, frames=3, spin=True)
    yaw, pitch = pose
    assert poses(surface)[1:] == [tuple(f32(value) for value in (pitch, yaw, START.roll, START.zoom))]
    assert not viewer.spinning


# Mouse reports as the terminal sends them: SGR form, cells counted from 1.
def mouse(flags, col, row, release=False):
    return b"\x1b[<%d;%d;%d%s" % (flags, col, row, b"m" if release else b"M")


@pytest.mark.parametrize("reports, pose, spinning", [
    # A left-button drag of 4 columns right and 2 rows down; the viewport is 40 cells wide.
    (mouse(0, 10, 5) + mouse(32, 12, 6) + mouse(32, 14, 7) + mouse(0, 14, 7, True),
     (START.pitch + 2 * 2 * DRAG_TURN_PER_WIDTH / 40, START.yaw + 4 * DRAG_TURN_PER_WIDTH / 40, 1.0), False),
    # The turntable holds while the button is down.
    (mouse(0, 10, 5) + mouse(32, 6, 5), (START.pitch, START.yaw - 4 * DRAG_TURN_PER_WIDTH / 40, 1.0), True),
    # Motion without a press, and drags with another button, turn nothing.
    (mouse(32, 12, 6) + mouse(2, 10, 5) + mouse(34, 12, 6), None, False),
    (mouse(64, 3, 3) + mouse(64, 3, 3), (START.pitch, START.yaw, 1.1 * 1.1), False),
    (mouse(65, 3, 3), (START.pitch, START.yaw, 1 / 1.1), False),
])
def test_the_mouse_turns_and_zooms(terminal, reports, pose, spinning):
    _, surface = run_viewer(terminal, reports, frames=3, spin=spinning)
    expected = [] if pose is None else [tuple(f32(value) for value in (pose[0], pose[1], START.roll, pose[2]))]
    assert poses(surface)[1:] == expected


def test_quality_keys_reach_the_surface_and_the_status_line(terminal):
    viewer, surface = run_viewer(terminal, b"31", frames=2, sizes=[(80, 10)])
    assert (surface.qualities, viewer.quality) == (["high", "low"], "low")
    status = [line.partition(b"\x1b[K")[0] for line in os.read(terminal[2], 65536).split(b"\x1b[10;1H")[1:]]
    assert status == ["demo hull | 12 triangles | 1.9 × 1.4 × 1.4 | medium | kitty graphics | paused".encode(),
                      "demo hull | 12 triangles | 1.9 × 1.4 × 1.4 | low | kitty graphics | paused".encode()]


@pytest.mark.parametrize("keys, spinning, yaw_steps", [
    (b"", True, [0, 1, 2]),
    (b" ", False, [0, 0]),  # the frame after the key, then nothing changes
    (b"  ", True, [0, 1, 2]),
])
def test_space_pauses_and_restarts_the_turntable(terminal, keys, spinning, yaw_steps):
    viewer, surface = run_viewer(terminal, keys, frames=3, spin=True)
    assert viewer.spinning is spinning
    assert [yaw for _, yaw, _, _ in poses(surface)] == [f32(START.yaw + step * SPIN_RATE / 30) for step in yaw_steps]


def test_a_resize_clears_the_screen_and_fills_the_new_size(terminal):
    _, surface = run_viewer(terminal, b"", frames=3, sizes=[(40, 10), (40, 10), (60, 1)])
    assert [viewport for _, viewport in surface.frames] == [(0, 0, 40, 9), (0, 0, 60, 1)]
    assert surface.clears == 1
    output = os.read(terminal[2], 65536)
    # The status line goes to the last row of each size; a single row holds the picture alone.
    assert output.count(b"\x1b[10;1Hdemo hull") == 1 and b"\x1b[1;1H" not in output
    assert output.index(b"\x1b[10;1H") < output.rindex(CLEAR_SCREEN)
