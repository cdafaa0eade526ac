"""The viewer loop: a model turning on a turntable over the whole terminal."""

from __future__ import annotations

import errno
import math
import os
import select
import signal
import struct
import time
from dataclasses import dataclass, replace
from typing import Callable, List, Optional, Tuple

from . import _facetview as native
from .keys import Action, Event, KeyDecoder, MouseEvent, MouseKind
from .models import Model, ModelError, shown_path
from .orientation import camera_rotation, upright_camera_angles
from .signals import DeferredSignals, Terminated, stop_process
from .status import status_line
from .terminal import TerminalSession

# Radians the turntable turns per frame second, and per key press.
SPIN_RATE = 0.5
TURN_STEP = 0.12
# Radians a drag turns the model per cell of its width; a cell is about twice
# as high as wide, so a row turns twice as far as a column.
DRAG_TURN_PER_WIDTH = math.pi
LEFT_BUTTON = 0
# Buttons whose drags move the view (and the left one with Shift).
PAN_BUTTONS = (1, 2)
ZOOM_STEP = 1.1
# Magnifications of the fitted view (zoom 1: the model whole) that the viewer offers: far
# wider than native.ZOOM_RANGE, the zooms a Camera honours, since the viewer moves the eye
# of an OrbitCamera instead.
ZOOM_RANGE = (0.1, 100.0)
# The eye's distance from the target at zoom 1, and the cotangent of half the
# vertical field of view: the view shows 2 * distance / FOCAL units at the target's depth.
FITTED_DISTANCE = 3.25
FOCAL = 2.144507
# Share of the view's height that a pan key moves it.
PAN_STEP = 0.1
# Seconds between two updates of the frames-per-second figure.
FPS_INTERVAL = 1.0
READ_SIZE = 1024

CANONICAL_QUALITY = native.QUALITY_NAMES
QUALITY_ACTIONS = {
    Action.QUALITY_LOW: "low",
    Action.QUALITY_MEDIUM: "medium",
    Action.QUALITY_HIGH: "high",
    Action.QUALITY_FULL: "full",
}
# (pitch, yaw) that look at an upright model along an axis; roll and zoom stay.
AXIS_VIEWS = {
    Action.VIEW_FRONT: (0.0, 0.0),
    Action.VIEW_BACK: (0.0, math.pi),
    Action.VIEW_RIGHT: (0.0, -math.pi / 2),
    Action.VIEW_LEFT: (0.0, math.pi / 2),
    Action.VIEW_TOP: (math.pi / 2, 0.0),
    Action.VIEW_BOTTOM: (-math.pi / 2, 0.0),
}
# Each pan key's move of the view, rightwards and upwards.
PAN_DIRECTIONS = {
    Action.PAN_LEFT: (-1.0, 0.0),
    Action.PAN_RIGHT: (1.0, 0.0),
    Action.PAN_UP: (0.0, 1.0),
    Action.PAN_DOWN: (0.0, -1.0),
}
KEYS_HELP = ("arrows/hjkl/drag turn  +/-/wheel zoom  shift+arrows/HJKL/right-drag pan  f/s/t views  "
             "o ortho  e edges  a axes  1-4 quality  space pause  r reset  q quit")


DEFAULT_CAMERA = native.Camera.default()
Vector = Tuple[float, float, float]


def f32(value: float) -> float:
    """The 32-bit float nearest to value, as the renderer stores it."""
    return struct.unpack("f", struct.pack("f", value))[0]


@dataclass(frozen=True)
class Pose:
    """A camera setting: rotation angles in radians, zoom (1 fits the model), the point
    looked at in the model's coordinates and the projection."""

    pitch: float = DEFAULT_CAMERA.pitch
    yaw: float = DEFAULT_CAMERA.yaw
    roll: float = DEFAULT_CAMERA.roll
    zoom: float = DEFAULT_CAMERA.zoom
    target: Vector = (0.0, 0.0, 0.0)
    orthographic: bool = False

    def angles(self, up: str = "y") -> Tuple[float, float, float]:
        """The renderer's angles that show a model whose up axis is `up` as this pose shows
        an upright one."""
        return upright_camera_angles(self.pitch, self.yaw, self.roll, up)

    def distance(self) -> float:
        """The eye's distance from the target: Camera's 3.25 / zoom, rounded as it rounds."""
        return f32(FITTED_DISTANCE / f32(self.zoom))

    def camera(self, up: str = "y") -> native.OrbitCamera:
        """The camera of this pose for a model whose up axis is `up`. With the target at the
        origin and a zoom from 0.45 to 2.5 it draws what Camera draws."""
        return native.OrbitCamera(self.target, self.distance(), *self.angles(up),
                                  orthographic=self.orthographic)

    def view_axes(self, up: str = "y") -> Tuple[Vector, Vector]:
        """The model-space directions of the screen's right and up."""
        rotation = camera_rotation(*self.angles(up))
        return rotation[0], rotation[1]

    def moved(self, right: float, up_amount: float, up: str = "y") -> "Pose":
        """The pose with its target moved across the screen by these view-space amounts."""
        towards_right, towards_up = self.view_axes(up)
        target = tuple(t + right * r + up_amount * u
                       for t, r, u in zip(self.target, towards_right, towards_up))
        return replace(self, target=target)

    def view_height(self) -> float:
        """Model units the view spans from bottom to top at the target's depth."""
        return 2.0 * self.distance() / FOCAL


class FrameRate:
    """Frames per second, measured over FPS_INTERVAL or more from one frame to a later one."""

    def __init__(self, clock: Callable[[], float]) -> None:
        self._clock = clock
        self._since: Optional[float] = None
        self._frames = 0
        self.value: Optional[float] = None

    def count_frame(self) -> None:
        now = self._clock()
        if self._since is None:
            self._since = now
            return
        self._frames += 1
        elapsed = now - self._since
        if elapsed >= FPS_INTERVAL:
            self.value = self._frames / elapsed
            self._since, self._frames = now, 0


class Viewer:
    """Renders one model into the terminal, frame after frame.

    The viewport covers the terminal but its bottom row, which holds the status
    line. The pose is that of the model stood upright on its up axis, so the
    turntable turns about that axis. A frame is drawn whenever the camera, the quality or the terminal
    size changed since the last one; the turntable changes the camera at every
    frame while it runs. Input and the deferred signals (suspend, continue)
    are handled between frames, at least once per frame however long a frame
    takes.
    """

    def __init__(
        self,
        surface,
        model: Model,
        session: TerminalSession,
        terminal_size: Callable[[], Tuple[int, int]],
        quality: str = "medium",
        start: Pose = Pose(),
        fps: float = 30.0,
        spin: bool = True,
        clock: Callable[[], float] = time.monotonic,
        signals: Optional[DeferredSignals] = None,
        watcher=None,
    ) -> None:
        self.surface = surface
        self.model = model
        self.mesh = model.mesh
        # Follows the model's file (see watch.py); None shows the model as loaded.
        self.watcher = watcher
        self.notice: Optional[str] = None
        self.colours = True
        self.session = session
        self.terminal_size = terminal_size
        self.quality = CANONICAL_QUALITY[quality]
        self.start = start
        self.pose = start
        self.frame_period = 1.0 / fps
        self.spinning = spin
        self.clock = clock
        self.signals = signals
        self.frame_rate = FrameRate(clock)
        self.frames = 0
        self.quit_requested = False
        self._decoder = KeyDecoder()
        self._size: Optional[Tuple[int, int]] = None
        self._status_shown: Optional[str] = None
        self._dirty = True
        self._drag_from: Optional[Tuple[int, int]] = None
        self._pan_from: Optional[Tuple[int, int]] = None
        # 1/_reduction of the viewport is drawn where the terminal's largest image is smaller.
        self._reduction = 1

    # One frame.

    def camera(self) -> native.Camera:
        return self.pose.camera(self.model.up)

    def viewport(self) -> native.Viewport:
        cols, rows = self._size
        return native.Viewport.full_screen(cols, rows, self.status_rows())

    def status_rows(self) -> int:
        return 1 if self._size[1] >= 2 else 0

    def shown_mesh(self) -> native.Mesh:
        """The model's mesh, without its colours while they are turned off."""
        mesh = self.model.mesh
        return mesh if self.colours or not mesh.has_colors else mesh.without_colors()

    def follow_file(self) -> None:
        """Takes a model that the watcher reloaded; a failed reload keeps the old one and says why."""
        outcome = self.watcher.poll() if self.watcher is not None else None
        if isinstance(outcome, Model):
            self.model = outcome
            self.mesh = self.shown_mesh()
            self.notice = None
            self._dirty = True
        elif isinstance(outcome, ModelError):
            reason = str(outcome)
            prefix = shown_path(self.watcher.path) + ": "
            self.notice = "reload failed: " + (reason[len(prefix):] if reason.startswith(prefix) else reason)

    def follow_terminal_size(self) -> None:
        """After a resize the screen is cleared and everything drawn again."""
        size = self.terminal_size()
        if size != self._size:
            if self._size is not None:
                # Clearing the text also takes the images away, so every tile is sent again.
                self.session.clear_screen()
                self.surface.clear()
            self._size = size
            self._status_shown = None
            self._dirty = True

    def draw_frame(self) -> None:
        """Follows the terminal size, renders if anything changed, updates the status."""
        self.follow_file()
        self.follow_terminal_size()
        if self._dirty:
            self.surface.render_to_terminal(self.mesh, self.camera(), self.viewport())
            self._reduction = self.surface.reduction(self.viewport())
            self.frame_rate.count_frame()
            self._dirty = False
        self.frames += 1
        self.draw_status()

    def redraw_all(self) -> None:
        """After the screen was lost (a suspension): every tile and the status again."""
        self.surface.clear()
        self._status_shown = None
        self._dirty = True

    def status_text(self, cells: int) -> str:
        return status_line(
            cells,
            name=self.model.title,
            triangles=self.mesh.triangle_count,
            size=self.mesh.size,
            quality=self.quality,
            method=self.surface.protocol,
            reduction=self._reduction,
            paused=not self.spinning,
            fps=self.frame_rate.value,
            zoom=self.pose.zoom,
            orthographic=self.pose.orthographic,
            help_text=KEYS_HELP if self.session.in_fd is not None else None,
            warnings=getattr(self.mesh, "warnings", ()),
            notice=self.status_notice(),
        )

    def status_notice(self) -> Optional[str]:
        notices = [self.notice] if self.notice else []
        if not self.colours and self.model.mesh.has_colors:
            notices.append("colours off")
        return ", ".join(notices) or None

    def draw_status(self) -> None:
        if not self.status_rows():
            return
        cols, rows = self._size
        # One cell short of the edge, so that the last row never scrolls.
        text = self.status_text(cols - 1)
        if text != self._status_shown:
            self.session.write_line(rows - 1, text)
            self._status_shown = text

    # Input and signals.

    def apply(self, event: Event) -> None:
        if event is Action.QUIT:
            self.quit_requested = True
        elif event is Action.SUSPEND:
            self.suspend(whole_group=True)  # as the terminal's own Ctrl-Z would
        elif isinstance(event, Action):
            self.apply_action(event)
        elif isinstance(event, MouseEvent):
            self.apply_mouse(event)

    def apply_action(self, action: Action) -> None:
        pose = self.pose
        if action is Action.TURN_LEFT:
            pose = replace(pose, yaw=pose.yaw - TURN_STEP)
        elif action is Action.TURN_RIGHT:
            pose = replace(pose, yaw=pose.yaw + TURN_STEP)
        elif action is Action.TURN_UP:
            pose = replace(pose, pitch=pose.pitch - TURN_STEP)
        elif action is Action.TURN_DOWN:
            pose = replace(pose, pitch=pose.pitch + TURN_STEP)
        elif action in (Action.ZOOM_IN, Action.ZOOM_OUT):
            factor = ZOOM_STEP if action is Action.ZOOM_IN else 1.0 / ZOOM_STEP
            pose = replace(pose, zoom=min(max(pose.zoom * factor, ZOOM_RANGE[0]), ZOOM_RANGE[1]))
        elif action in PAN_DIRECTIONS:
            right, up = PAN_DIRECTIONS[action]
            step = PAN_STEP * pose.view_height()
            pose = pose.moved(right * step, up * step, self.model.up)
        elif action is Action.TOGGLE_ORTHOGRAPHIC:
            pose = replace(pose, orthographic=not pose.orthographic)
        elif action is Action.TOGGLE_EDGES:
            self.surface.edges = not self.surface.edges
        elif action is Action.TOGGLE_AXES:
            self.surface.axis_triad = not self.surface.axis_triad
        elif action in QUALITY_ACTIONS:
            self.quality = QUALITY_ACTIONS[action]
            self.surface.set_quality(self.quality)
        elif action is Action.TOGGLE_PAUSE:
            self.spinning = not self.spinning
        elif action is Action.TOGGLE_COLOURS:
            self.colours = not self.colours
            self.mesh = self.shown_mesh()
        elif action is Action.RESET_CAMERA:
            # The fitted view again; the projection stays as chosen.
            pose = replace(self.start, orthographic=pose.orthographic)
        elif action in AXIS_VIEWS:
            pitch, yaw = AXIS_VIEWS[action]
            pose = replace(pose, pitch=pitch, yaw=yaw)
            self.spinning = False
        self.pose = pose
        self._dirty = True

    def view_size(self, pose: Pose) -> Tuple[float, float]:
        """Model units a cell spans across and up at the target's depth: the picture's
        extent over the cells it covers (1/_reduction of the viewport's)."""
        viewport = self.viewport()
        height = pose.view_height()
        width, pixels_high = self.surface.framebuffer_size(viewport)
        return (height * width / max(pixels_high, 1) * self._reduction / viewport.cols,
                height * self._reduction / viewport.rows)

    def cell_offset(self, col: int, row: int, pose: Pose) -> Tuple[float, float]:
        """How far right of and above the picture's centre the middle of a cell lies, in
        model units at the target's depth."""
        viewport = self.viewport()
        across, up = self.view_size(pose)
        return (col + 0.5 - viewport.cols / 2) * across, (viewport.rows / 2 - row - 0.5) * up

    def zoom_at(self, event: MouseEvent) -> None:
        """Zooms one wheel step, keeping what lies under the pointer (at the target's depth)
        under it."""
        before = self.pose
        self.apply_action(Action.ZOOM_IN if event.kind is MouseKind.WHEEL_UP else Action.ZOOM_OUT)
        if self._size is None or self.pose.zoom == before.zoom:
            return
        right, up = self.cell_offset(event.col, event.row, before)
        # The point stays put when the target moves towards it by the share of its
        # offset that the zoom takes away.
        share = 1.0 - before.zoom / self.pose.zoom
        self.pose = self.pose.moved(right * share, up * share, self.model.up)

    def pan_by_drag(self, event: MouseEvent) -> None:
        """Moves the view so that the model follows the pointer."""
        col, row = self._pan_from
        across, up = self.view_size(self.pose)
        self.pose = self.pose.moved(-(event.col - col) * across, (event.row - row) * up, self.model.up)
        self._pan_from = (event.col, event.row)
        self._dirty = True

    def apply_mouse(self, event: MouseEvent) -> None:
        """Wheel to zoom towards the pointer; a drag with the left button turns the model
        (and holds the turntable), with the right or middle one, or the left with Shift,
        moves the view."""
        if event.kind in (MouseKind.WHEEL_UP, MouseKind.WHEEL_DOWN):
            self.zoom_at(event)
            return
        panning = event.button in PAN_BUTTONS or (event.button == LEFT_BUTTON and event.shift)
        if event.kind is MouseKind.PRESS and panning:
            self._pan_from = (event.col, event.row)
        elif event.kind is MouseKind.RELEASE and self._pan_from is not None:
            self._pan_from = None
        elif event.kind is MouseKind.MOTION and self._pan_from is not None:
            if self._size is not None:
                self.pan_by_drag(event)
        elif event.button != LEFT_BUTTON:
            return
        elif event.kind is MouseKind.PRESS:
            self._drag_from = (event.col, event.row)
        elif event.kind is MouseKind.RELEASE:
            self._drag_from = None
        elif event.kind is MouseKind.MOTION and self._drag_from is not None:
            col, row = self._drag_from
            per_cell = DRAG_TURN_PER_WIDTH / max(self._size[0] if self._size else 1, 1)
            self.pose = replace(self.pose, yaw=self.pose.yaw + (event.col - col) * per_cell,
                                pitch=self.pose.pitch + (event.row - row) * 2 * per_cell)
            self._drag_from = (event.col, event.row)
            self._dirty = True

    def suspend(self, whole_group: bool) -> None:
        """Gives the terminal back, stops until continued, then takes it again."""
        self.session.close()
        stop_process(whole_group)
        self.session.open()
        self.redraw_all()
        if self.signals is not None:
            self.signals.take()  # the SIGCONT of this very resumption

    def handle_signals(self) -> None:
        for signum in self.signals.take():
            if signum == signal.SIGTSTP:
                self.suspend(whole_group=False)
            elif signum == signal.SIGCONT:
                # Stopped by something else (SIGSTOP): whatever ran meanwhile may
                # have changed the modes and the screen.
                self.session.close()
                self.session.open()
                self.redraw_all()

    def read_input(self) -> None:
        try:
            data = os.read(self.session.in_fd, READ_SIZE)
        except OSError as error:
            if error.errno != errno.EIO:
                raise
            data = b""
        if not data:
            raise Terminated(signal.SIGHUP)  # the terminal is gone
        self.take_input(data)

    def take_input(self, data: bytes) -> None:
        """Acts on input bytes as keys and mouse events."""
        for event in self._decoder.feed(data, self.clock()):
            self.apply(event)

    def wait(self, seconds: float) -> None:
        """Waits, handling input and signals as they come, until the time is up or quit is asked.

        Looks at the input at least once, even when the time is already up.
        """
        deadline = self.clock() + seconds
        while not self.quit_requested:
            sources: List[int] = []
            if self.session.in_fd is not None:
                sources.append(self.session.in_fd)
            if self.signals is not None:
                sources.append(self.signals.fileno())
            remaining = max(deadline - self.clock(), 0.0)
            if sources:
                ready = select.select(sources, [], [], remaining)[0]
            else:
                time.sleep(remaining)
                ready = []
            if self.signals is not None and self.signals.fileno() in ready:
                self.handle_signals()
            if self.session.in_fd is not None and self.session.in_fd in ready:
                self.read_input()
            for event in self._decoder.expire(self.clock()):  # a lone ESC is the Escape key
                self.apply(event)
            if self.clock() >= deadline:
                return

    # The loop.

    def run(self, frame_limit: Optional[int] = None, hold: float = 0.0) -> None:
        """Shows frames until quit is asked or frame_limit frames were shown.

        After the last of frame_limit frames the picture stays for hold seconds.
        """
        next_frame = self.clock()
        while not self.quit_requested:
            self.draw_frame()
            if frame_limit is not None and self.frames >= frame_limit:
                self.wait(hold)
                return
            next_frame += self.frame_period
            # A frame that took longer than its period does not make the next ones hurry.
            next_frame = max(next_frame, self.clock())
            self.wait(next_frame - self.clock())
            if self.spinning and self._drag_from is None and self._pan_from is None:
                yaw = math.remainder(self.pose.yaw + SPIN_RATE * self.frame_period, math.tau)
                self.pose = replace(self.pose, yaw=yaw)
                self._dirty = True
