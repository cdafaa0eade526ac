"""The viewer loop with a recording surface: keys, their limits, resizes and slow frames."""

import math
import os
import pty

import pytest

import facetview as f
from facetview.models import open_model
from facetview.terminal import CLEAR_SCREEN, TerminalSession
from facetview.viewer import DRAG_TURN_PER_WIDTH, PAN_STEP, SPIN_RATE, TURN_STEP, Pose, Viewer

START = Pose(pitch=0.25, yaw=-0.5, roll=0.125, zoom=1.0)


class Clock:
    """Moves on by more than a frame period whenever it is read: waits never take real time."""

    def __init__(self):
        self.now = 0.0

    def __call__(self):
        self.now += 0.05
        return self.now


class RecordingSurface:
    """Notes each frame's camera (angles and zoom), target, projection, overlays and viewport;
    a frame costs `cost` seconds of the clock."""

    protocol = "kitty"

    def __init__(self, clock, cost):
        self.clock, self.cost = clock, cost
        self.frames, self.views, self.qualities, self.clears = [], [], [], 0
        self.edges = self.axis_triad = False

    def render_to_terminal(self, mesh, camera, viewport):
        self.frames.append(((camera.pitch, camera.yaw, camera.roll, 3.25 / camera.distance),
                            (viewport.col, viewport.row, viewport.cols, viewport.rows)))
        self.views.append((camera.target, camera.orthographic, self.edges, self.axis_triad))
        self.clock.now += self.cost
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
    # The zoom stops at its limits, so the way back starts at once.
    (b"+" * 60, (START.pitch, START.yaw, START.roll, 100.0)),
    (b"+" * 60 + b"-", (START.pitch, START.yaw, START.roll, 100 / 1.1)),
    (b"-" * 30, (START.pitch, START.yaw, START.roll, 0.1)),
    (b"-" * 30 + b"=", (START.pitch, START.yaw, START.roll, 0.1 * 1.1)),
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
    # Motion without a press turns nothing (other buttons move the view, below).
    (mouse(32, 12, 6) + mouse(35, 12, 6), None, False),
    (mouse(64, 3, 3) + mouse(64, 3, 3), (START.pitch, START.yaw, 1.1 * 1.1), False),
    (mouse(65, 3, 3), (START.pitch, START.yaw, 1 / 1.1), False),
])
def test_the_mouse_turns_and_zooms(terminal, reports, pose, spinning):
    _, surface = run_viewer(terminal, reports, frames=3, spin=spinning)
    expected = [] if pose is None else [tuple(f32(value) for value in (pose[0], pose[1], START.roll, pose[2]))]
    assert poses(surface)[1:] == expected


def test_quality_keys_reach_the_surface_and_the_status_line(terminal):
    viewer, surface = run_viewer(terminal, b"31", frames=2, sizes=[(100, 10)])
    assert (surface.qualities, viewer.quality) == (["high", "low"], "low")
    status = [line.partition(b"\x1b[K")[0] for line in os.read(terminal[2], 65536).split(b"\x1b[10;1H")[1:]]
    assert status == ["demo hull | 12 triangles | 1.9 × 1.4 × 1.4 | medium | kitty graphics | zoom 1× | paused".encode(),
                      "demo hull | 12 triangles | 1.9 × 1.4 × 1.4 | low | kitty graphics | zoom 1× | paused".encode()]


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


def moved_target(right, up):
    towards_right, towards_up = START.view_axes()
    return tuple(right * r + up * u for r, u in zip(towards_right, towards_up))


def close_to(actual, expected):
    return all(math.isclose(a, b, abs_tol=1e-6) for a, b in zip(actual, expected))


STEP = PAN_STEP * START.view_height()


@pytest.mark.parametrize("keys, target", [
    (b"L", moved_target(STEP, 0)), (b"\x1b[1;2C", moved_target(STEP, 0)),
    (b"H\x1b[1;2D", moved_target(-2 * STEP, 0)), (b"K", moved_target(0, STEP)),
    (b"\x1b[1;2B", moved_target(0, -STEP)), (b"LKr", (0, 0, 0)),
])
def test_pan_keys_move_the_view_across_the_screen(terminal, keys, target):
    _, surface = run_viewer(terminal, keys, frames=2)
    assert close_to(surface.views[-1][0], target)
    assert poses(surface)[-1] == tuple(f32(value) for value in (START.pitch, START.yaw, START.roll, 1.0))


@pytest.mark.parametrize("keys, views", [
    (b"o", (True, False, False)), (b"oo", (False, False, False)),
    (b"oLr", (True, False, False)),  # the fitted view again, in the chosen projection
    (b"e", (False, True, False)), (b"a", (False, False, True)), (b"eae", (False, False, True)),
])
def test_projection_and_overlay_keys_switch(terminal, keys, views):
    _, surface = run_viewer(terminal, keys, frames=2)
    assert surface.views[-1][1:] == views
    assert surface.views[-1][0] == (0, 0, 0)


# The viewport is 40 x 9 cells of 10 x 20 pixels: 400 x 180, so the view spans
# 400 / 180 times its height across.
WIDTH = START.view_height() * 400 / 180


@pytest.mark.parametrize("reports, target", [
    # Right, middle and shift+left drags: the model follows the pointer.
    (mouse(2, 10, 5) + mouse(34, 14, 5) + mouse(2, 14, 5, True), moved_target(-4 * WIDTH / 40, 0)),
    (mouse(1, 10, 5) + mouse(33, 10, 8), moved_target(0, 3 * START.view_height() / 9)),
    (mouse(4, 10, 5) + mouse(36, 8, 5), moved_target(2 * WIDTH / 40, 0)),
    # A left drag without Shift turns instead.
    (mouse(0, 10, 5) + mouse(32, 14, 5), (0, 0, 0)),
])
def test_dragging_with_the_right_or_middle_button_moves_the_view(terminal, reports, target):
    _, surface = run_viewer(terminal, reports, frames=3)
    assert close_to(surface.views[-1][0], target)


@pytest.mark.parametrize("report, factor", [(mouse(64, 35, 2), 1.1), (mouse(65, 4, 8), 1 / 1.1)])
def test_the_wheel_zooms_towards_the_pointer(terminal, report, factor):
    viewer, surface = run_viewer(terminal, report, frames=2)
    # The model point under the pointer's cell, at the target's depth, before and after.
    col, row = report.split(b";")[1:]
    right = ((int(col) - 0.5) / 40 - 0.5) * WIDTH
    up = (0.5 - (int(row[:-1]) - 0.5) / 9) * START.view_height()
    under = moved_target(right, up)
    after = viewer.pose
    towards_right, towards_up = after.view_axes()
    offset = [p - t for p, t in zip(under, after.target)]
    new_right = sum(o * r for o, r in zip(offset, towards_right))
    new_up = sum(o * u for o, u in zip(offset, towards_up))
    assert math.isclose(after.zoom, factor)
    assert math.isclose(new_right * after.zoom, right, abs_tol=1e-9)
    assert math.isclose(new_up * after.zoom, up, abs_tol=1e-9)
