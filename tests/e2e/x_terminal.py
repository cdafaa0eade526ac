"""A real terminal window (xterm or kitty) on a virtual X display, running one Python program.

The terminal starts a launcher that records the window size in cells and pixels, then
runs the program in the background with the terminal as its input, so that the test
learns its process id; when it has ended, the window stays, to be looked at again.

scripts/screenshot uses it to take the README's picture.
"""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

from tmux_server import wait_for

# Room for a terminal wider than the 1000 pixels of xterm's largest sixel image.
SCREEN_WIDTH, SCREEN_HEIGHT = 1600, 1000
X_TOOLS = ("Xvfb", "import", "convert")

# The shell's own messages (such as "Terminated") go to a file, not on the screen. Each
# file the test waits for appears whole, by a rename.
LAUNCHER = """\
"$PYTHON" -c 'import fcntl, struct, termios
print(*struct.unpack("4H", fcntl.ioctl(0, termios.TIOCGWINSZ, bytes(8))))' > winsize.part
mv winsize.part winsize
exec 3<&0 4>&2 2>shell.log
"$PYTHON" "$@" <&3 2>&4 3<&- 4>&- &
echo $! > program.pid.part && mv program.pid.part program.pid
wait $!
echo $? > program.status.part && mv program.status.part program.status
exec sleep 600
"""


# A fixed look: no decorations or padding, the cell grid at the window's corner,
# one font, a black background and a cursor that cannot be seen on it.
KITTY_CONFIG = "\n".join([
    "font_family DejaVu Sans Mono", "font_size 10", "remember_window_size no", "initial_window_width {cols}c",
    "initial_window_height {rows}c", "window_padding_width 0", "placement_strategy top-left",
    "hide_window_decorations yes", "background #000000", "foreground #e0e0e0", "cursor #000000",
    "cursor_text_color background", "cursor_blink_interval 0", "enable_audio_bell no", "update_check_interval 0", ""])


def missing_tools(*terminal_tools):
    return [tool for tool in (*terminal_tools, *X_TOOLS) if shutil.which(tool) is None]


def wait_for_file(path: Path, timeout: float) -> str:
    wait_for(path.exists, f"{path.name} did not appear within {timeout} s", timeout, 0.05)
    return path.read_text()


class XTerminal:
    """Xvfb, and a terminal window started by terminal_command(launcher) that runs
    `python program_args...` in workdir."""

    def __init__(self, workdir: Path, terminal_command, program_args, environment=None):
        self.workdir = workdir
        self.terminal = None
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24",
             "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        try:
            with os.fdopen(read_end) as display_number:
                self.display = ":" + display_number.readline().strip()
            (workdir / "launch.sh").write_text(LAUNCHER)
            env = dict(os.environ, DISPLAY=self.display, PYTHON=sys.executable, **(environment or {}))
            self.terminal = subprocess.Popen(
                [*terminal_command(["sh", str(workdir / "launch.sh")]), *program_args],
                env=env, cwd=workdir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self.rows, self.cols, width, height = map(int, wait_for_file(workdir / "winsize", 30).split())
            self.cell_width, self.cell_height = width // self.cols, height // self.rows
            self.program_pid = int(wait_for_file(workdir / "program.pid", 30))
        except BaseException:
            self.__exit__()
            raise

    def screenshot(self) -> bytes:
        """The whole X screen, 8-bit RGB, rows top to bottom."""
        return subprocess.run(["import", "-display", self.display, "-window", "root", "-depth", "8", "rgb:-"],
                              check=True, capture_output=True, timeout=30).stdout

    def save_window(self, path: str) -> None:
        """The terminal's cells as a PNG file."""
        width, height = self.cols * self.cell_width, self.rows * self.cell_height
        subprocess.run(["convert", "-size", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}", "-depth", "8", "rgb:-",
                        "-crop", f"{width}x{height}+0+0", "+repage", path],
                       input=self.screenshot(), check=True, timeout=30)

    def cell_mean(self, shot: bytes, col: int, row: int, inset: int = 1):
        """Mean R, G, B of one cell of a screenshot, leaving out inset pixels at each edge."""
        return region_mean(shot, col * self.cell_width + inset, row * self.cell_height + inset,
                           (col + 1) * self.cell_width - inset, (row + 1) * self.cell_height - inset)

    def program_status(self, timeout: float) -> int:
        return int(wait_for_file(self.workdir / "program.status", timeout))

    def __enter__(self):
        return self

    def __exit__(self, *exception) -> None:
        for process in filter(None, (self.terminal, self.xvfb)):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def region_mean(pixels, x0, y0, x1, y1, stride=SCREEN_WIDTH, channels=3):
    """Mean R, G, B of [x0, x1) × [y0, y1) in an image `stride` pixels wide (a screenshot unless told)."""
    total = [0, 0, 0]
    for y in range(y0, y1):
        row = pixels[(y * stride + x0) * channels:(y * stride + x1) * channels]
        for channel in range(3):
            total[channel] += sum(row[channel::channels])
    return [value / ((x1 - x0) * (y1 - y0)) for value in total]


def close_enough(seen, expected, tolerance):
    return max(abs(a - b) for a, b in zip(seen, expected)) <= tolerance


def xterm_command(cols: int, rows: int, *, vt340: bool, font_size: int = 10):
    """xterm at the screen's corner with one font, no border or scroll bar; as a VT340 it
    has sixel graphics."""
    def command(launcher):
        return ["xterm", *(["-ti", "vt340"] if vt340 else []), "-fa", "DejaVu Sans Mono", "-fs", str(font_size),
                "-geometry", f"{cols}x{rows}+0+0", "-b", "0", "-bw", "0", "+sb", "-bg", "black",
                "-fg", "#e0e0e0", "-cr", "black", "-xrm", "XTerm*cursorBlink: false", "-e", *launcher]
    return command


def kitty(workdir: Path, cols: int, rows: int, args, program=("-m", "facetview"), extra_config: str = ""):
    """A kitty window of cols × rows cells running `python program args...`."""
    (workdir / "kitty.conf").write_text(KITTY_CONFIG.format(cols=cols, rows=rows) + extra_config)

    def command(launcher):
        return ["kitty", "--config", str(workdir / "kitty.conf"), "--directory", str(workdir), *launcher]

    return XTerminal(workdir, command, [*program, *args],
                     dict(LIBGL_ALWAYS_SOFTWARE="1", KITTY_CONFIG_DIRECTORY=str(workdir)))

