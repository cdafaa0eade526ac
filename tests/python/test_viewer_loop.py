"""The viewer loop against a recording surface: frames, keys, resizes, status."""

import os
import pty
import select
import termios

import pytest

import facetview._facetview as native
from facetview.keys import Action
from facetview.terminal import TerminalSession
from facetview.viewer import SPIN_RATE, Pose, Viewer


class RecordingSurface:
    def __init__(self, fail_at_frame=None):
        self.calls = []
        self.fail_at_frame = fail_at_frame

    def render_to_terminal(self, mesh, camera, viewport):
        frame = sum(call[0] == "render" for call in self.calls)
        if frame == self.fail_at_frame:
            raise RuntimeError("Broken pipe (os error 32)")
        self.calls.append(("render", camera.yaw, camera.zoom,
                           (viewport.col, viewport.row, viewport.cols, viewport.rows)))
        return viewport.cols * 4, viewport.rows * 8

    def set_quality(self, quality):
        self.calls.append(("quality", quality))

    def clear(self):
        self.calls.append(("clear",))


@pytest.fixture
def screen(tmp_path):
    """A session writing to a file instead of the terminal, and a way to read it."""
    path = tmp_path / "screen"
    fd = os.open(path, os.O_WRONLY | os.O_CREAT)
    yield TerminalSession(out_fd=fd), path.read_bytes
    os.close(fd)


def make_viewer(session, sizes=((40, 12),), **options):
    sizes = list(sizes)
    size = lambda: sizes.pop(0) if len(sizes) > 1 else sizes[0]  # noqa: E731
    return Viewer(RecordingSurface(), native.Mesh.demo(), session, size, fps=1000.0, **options)


def test_turntable_advances_each_frame_and_a_still_model_is_rendered_once(screen):
    spinning = make_viewer(screen[0], start=Pose(yaw=0.0))
    spinning.run(frame_limit=3)
    yaws = [call[1] for call in spinning.surface.calls]
    assert yaws == pytest.approx([0.0, SPIN_RATE / 1000, 2 * SPIN_RATE / 1000], abs=1e-6)
    still = make_viewer(screen[0], spin=False)
    still.run(frame_limit=3)
    assert len(still.surface.calls) == 1 and still.frames == 3


def test_keys_steer_camera_quality_and_turntable(screen):
    viewer = make_viewer(screen[0], start=Pose(yaw=0.5, zoom=2.0))
    for action in [Action.TURN_RIGHT, *[Action.ZOOM_IN] * 10, Action.QUALITY_HIGH, Action.TOGGLE_PAUSE]:
        viewer.apply(action)
    assert viewer.camera.yaw > 0.5 and viewer.camera.zoom == pytest.approx(2.5)
    assert ("quality", "high") in viewer.surface.calls and not viewer.spinning
    viewer.apply(Action.RESET_CAMERA)
    assert (viewer.camera.yaw, viewer.camera.zoom) == pytest.approx((0.5, 2.0))
    viewer.apply(Action.QUIT)
    viewer.run()
    assert viewer.surface.calls[-1][0] == "quality"  # quit before any frame


def test_resize_clears_and_follows_at_the_next_frame(screen):
    session, read_screen = screen
    viewer = make_viewer(session, sizes=[(40, 12), (60, 20)], spin=False, quality="med")
    viewer.run(frame_limit=2)
    assert [call[0] for call in viewer.surface.calls] == ["render", "clear", "render"]
    assert viewer.surface.calls[-1][3] == (0, 0, 60, 19)
    assert read_screen().endswith(b"\x1b[2J\x1b[20;1Hdemo hull | 12 triangles | medium | paused\x1b[K")


@pytest.mark.parametrize("name, shown", [
    ("a\x1b[2Jb", b"a?[2Jb | 1 tr"),  # no control sequence from a file reaches the terminal
    ("\u90e8\u54c1\u30e2\u30c7\u30eb", "\u90e8\u54c1\u30e2\u30c7\u30eb | ".encode()),  # wide: 2 cells each
    ("e\u0301" * 6, ("e\u0301" * 6 + " | 1 tr").encode()),  # combining accents take no cell
])
def test_status_line_fits_the_row(screen, name, shown):
    viewer = make_viewer(screen[0], sizes=[(14, 3)])
    viewer.mesh = type("Named", (), {"name": name, "triangle_count": 1})()
    viewer.run(frame_limit=1)
    assert screen[1]().endswith(b"\x1b[3;1H" + shown + b"\x1b[K")


def test_terminal_is_given_back_when_rendering_fails():
    master, slave = pty.openpty()
    before = termios.tcgetattr(slave)
    session = TerminalSession(out_fd=slave, in_fd=slave)
    viewer = make_viewer(session)
    viewer.surface.fail_at_frame = 1
    with pytest.raises(RuntimeError), session:
        assert termios.tcgetattr(slave)[3] & termios.ICANON == 0
        viewer.run()
    assert termios.tcgetattr(slave) == before
    output = b""
    while select.select([master], [], [], 0)[0]:
        output += os.read(master, 4096)
    assert output.endswith(b"\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l")
    os.close(master), os.close(slave)
