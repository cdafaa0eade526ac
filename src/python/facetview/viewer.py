"""The viewer loop: a model turning on a turntable over the whole terminal."""

from __future__ import annotations

import math
import os
import select
import time
import unicodedata
from dataclasses import dataclass
from typing import Callable, Optional, Tuple

from . import _facetview as native
from .keys import Action, KeyDecoder
from .terminal import TerminalSession

# Radians the turntable turns per second, and per key press.
SPIN_RATE = 0.5
TURN_STEP = 0.12
ZOOM_STEP = 1.1
# The renderer clamps the zoom to this range; pressing past it would do nothing.
ZOOM_RANGE = (0.45, 2.5)
# Seconds between two updates of the frames-per-second figure.
FPS_INTERVAL = 1.0

CANONICAL_QUALITY = {"low": "low", "med": "medium", "medium": "medium", "high": "high"}
QUALITY_ACTIONS = {
    Action.QUALITY_LOW: "low",
    Action.QUALITY_MEDIUM: "medium",
    Action.QUALITY_HIGH: "high",
}
KEYS_HELP = "arrows/hjkl turn  +/- zoom  1/2/3 quality  space pause  r reset  q quit"


DEFAULT_CAMERA = native.Camera.default()


@dataclass(frozen=True)
class Pose:
    """A camera setting: rotation angles in radians and zoom."""

    pitch: float = DEFAULT_CAMERA.pitch
    yaw: float = DEFAULT_CAMERA.yaw
    roll: float = DEFAULT_CAMERA.roll
    zoom: float = DEFAULT_CAMERA.zoom

    def camera(self) -> native.Camera:
        return native.Camera(self.pitch, self.yaw, self.roll, self.zoom)


def printable(text: str) -> str:
    """Text safe to put on the screen: a model name may hold control characters."""
    return "".join(char if char.isprintable() else "?" for char in text)


def fit_to_width(text: str, cells: int) -> str:
    """The longest start of text that takes at most this many terminal cells.

    Wide (East Asian) characters take two cells and combining marks none.
    """
    used = 0
    for index, char in enumerate(text):
        if unicodedata.combining(char):
            continue
        used += 2 if unicodedata.east_asian_width(char) in "WF" else 1
        if used > cells:
            return text[:index]
    return text


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
    """Renders one mesh into the terminal, frame after frame.

    The viewport covers the terminal but its bottom row, which holds the status
    line. A frame is drawn whenever the camera, the quality or the terminal
    size changed since the last one; the turntable changes the camera at every
    frame while it runs.
    """

    def __init__(
        self,
        surface,
        mesh: native.Mesh,
        session: TerminalSession,
        terminal_size: Callable[[], Tuple[int, int]],
        quality: str = "medium",
        start: Pose = Pose(),
        fps: float = 30.0,
        spin: bool = True,
        clock: Callable[[], float] = time.monotonic,
    ) -> None:
        self.surface = surface
        self.mesh = mesh
        self.session = session
        self.terminal_size = terminal_size
        self.quality = CANONICAL_QUALITY[quality]
        self.start = start
        self.camera = start.camera()
        self.frame_period = 1.0 / fps
        self.spinning = spin
        self.clock = clock
        self.frame_rate = FrameRate(clock)
        self.frames = 0
        self.quit_requested = False
        self._decoder = KeyDecoder()
        self._size: Optional[Tuple[int, int]] = None
        self._status_shown: Optional[str] = None
        self._dirty = True

    # One frame.

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
            self.surface.render_to_terminal(self.mesh, self.camera, self.viewport())
            self.frame_rate.count_frame()
            self._dirty = False
        self.frames += 1
        self.draw_status()

    def status_text(self) -> str:
        parts = [
            printable(self.mesh.name),
            f"{self.mesh.triangle_count} triangles",
            self.quality,
        ]
        if not self.spinning:
            parts.append("paused")
        elif self.frame_rate.value is not None:
            parts.append(f"{self.frame_rate.value:.0f} fps")
        return " | ".join(parts)

    def draw_status(self) -> None:
        if not self.status_rows():
            return
        cols, rows = self._size
        # One cell short of the edge, so that the last row never scrolls.
        width = cols - 1
        text = self.status_text()
        with_help = f"{text}   {KEYS_HELP}"
        if self.session.in_fd is not None and fit_to_width(with_help, width) == with_help:
            text = with_help
        text = fit_to_width(text, width)
        if text != self._status_shown:
            self.session.write_line(rows - 1, text)
            self._status_shown = text

    # Input.

    def apply(self, action: Action) -> None:
        camera = self.camera
        if action is Action.QUIT:
            self.quit_requested = True
        elif action is Action.TURN_LEFT:
            camera.yaw -= TURN_STEP
        elif action is Action.TURN_RIGHT:
            camera.yaw += TURN_STEP
        elif action is Action.TURN_UP:
            camera.pitch -= TURN_STEP
        elif action is Action.TURN_DOWN:
            camera.pitch += TURN_STEP
        elif action in (Action.ZOOM_IN, Action.ZOOM_OUT):
            factor = ZOOM_STEP if action is Action.ZOOM_IN else 1.0 / ZOOM_STEP
            camera.zoom = min(max(camera.zoom * factor, ZOOM_RANGE[0]), ZOOM_RANGE[1])
        elif action in QUALITY_ACTIONS:
            self.quality = QUALITY_ACTIONS[action]
            self.surface.set_quality(self.quality)
        elif action is Action.TOGGLE_PAUSE:
            self.spinning = not self.spinning
        elif action is Action.RESET_CAMERA:
            self.camera = self.start.camera()
        self._dirty = True

    def wait(self, seconds: float) -> None:
        """Waits, handling keys as they come, until the time is up or quit is asked."""
        deadline = self.clock() + seconds
        in_fd = self.session.in_fd
        while not self.quit_requested:
            remaining = deadline - self.clock()
            if remaining <= 0:
                return
            if in_fd is None:
                time.sleep(remaining)
                return
            ready, _, _ = select.select([in_fd], [], [], remaining)
            if ready:
                data = os.read(in_fd, 1024)
                if not data:
                    in_fd = None  # the input hung up: go on without keys
                for action in self._decoder.feed(data):
                    self.apply(action)

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
            if self.spinning:
                self.camera.yaw = math.remainder(self.camera.yaw + SPIN_RATE * self.frame_period, math.tau)
                self._dirty = True
