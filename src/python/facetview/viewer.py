"""The viewer loop: a model turning on a turntable over the whole terminal."""

from __future__ import annotations

import errno
import math
import os
import select
import signal
import time
from dataclasses import dataclass, replace
from typing import Callable, List, Optional, Tuple

from . import _facetview as native
from .keys import Action, Event, KeyDecoder, MouseEvent, MouseKind
from .models import Model
from .orientation import upright_camera_angles
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
ZOOM_STEP = 1.1
# The renderer clamps the zoom to this range; pressing past it would do nothing.
ZOOM_RANGE = (0.45, 2.5)
# Seconds between two updates of the frames-per-second figure.
FPS_INTERVAL = 1.0
READ_SIZE = 1024

CANONICAL_QUALITY = {"low": "low", "med": "medium", "medium": "medium", "high": "high", "full": "full"}
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
KEYS_HELP = ("arrows/hjkl/drag turn  +/-/wheel zoom  f/s/t views  1-4 quality  space pause  r reset  "
             "q quit")


DEFAULT_CAMERA = native.Camera.default()


@dataclass(frozen=True)
class Pose:
    """A camera setting: rotation angles in radians and zoom."""

    pitch: float = DEFAULT_CAMERA.pitch
    yaw: float = DEFAULT_CAMERA.yaw
    roll: float = DEFAULT_CAMERA.roll
    zoom: float = DEFAULT_CAMERA.zoom

    def camera(self, up: str = "y") -> native.Camera:
        """The camera that shows a model whose up axis is `up` as this pose shows an upright one."""
        return native.Camera(*upright_camera_angles(self.pitch, self.yaw, self.roll, up), self.zoom)


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
    ) -> None:
        self.surface = surface
        self.model = model
        self.mesh = model.mesh
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

    def draw_frame(self) -> None:
        """Follows the terminal size, renders if anything changed, updates the status."""
        size = self.terminal_size()
        if size != self._size:
            if self._size is not None:
                # Clearing the text also takes the images away, so every tile is sent again.
                self.session.clear_screen()
                self.surface.clear()
            self._size = size
            self._status_shown = None
            self._dirty = True
        if self._dirty:
            self.surface.render_to_terminal(self.mesh, self.camera(), self.viewport())
            reduction = getattr(self.surface, "reduction", None)
            self._reduction = reduction(self.viewport()) if reduction is not None else 1
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
            method=getattr(self.surface, "protocol", None),
            reduction=self._reduction,
            paused=not self.spinning,
            fps=self.frame_rate.value,
            help_text=KEYS_HELP if self.session.in_fd is not None else None,
        )

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
        elif action in QUALITY_ACTIONS:
            self.quality = QUALITY_ACTIONS[action]
            self.surface.set_quality(self.quality)
        elif action is Action.TOGGLE_PAUSE:
            self.spinning = not self.spinning
        elif action is Action.RESET_CAMERA:
            pose = self.start
        elif action in AXIS_VIEWS:
            pitch, yaw = AXIS_VIEWS[action]
            pose = replace(pose, pitch=pitch, yaw=yaw)
            self.spinning = False
        self.pose = pose
        self._dirty = True

    def apply_mouse(self, event: MouseEvent) -> None:
        """Wheel to zoom; a drag with the left button turns the model (and holds the turntable)."""
        if event.kind is MouseKind.WHEEL_UP:
            self.apply_action(Action.ZOOM_IN)
        elif event.kind is MouseKind.WHEEL_DOWN:
            self.apply_action(Action.ZOOM_OUT)
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
            if self.spinning and self._drag_from is None:
                yaw = math.remainder(self.pose.yaw + SPIN_RATE * self.frame_period, math.tau)
                self.pose = replace(self.pose, yaw=yaw)
                self._dirty = True
