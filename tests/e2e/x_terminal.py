"""A real terminal window on a virtual X display, running one Python program.

The terminal starts a launcher that records the window size in cells and pixels, then
runs the program in the background with the terminal as its input, so that the test
learns its process id; when it has ended, the window stays, to be looked at again.
"""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

# Room for a terminal wider than the 1000 pixels of xterm's largest sixel image.
SCREEN_WIDTH, SCREEN_HEIGHT = 1600, 1000
X_TOOLS = ("Xvfb", "import", "convert")

# The shell's own messages (such as "Terminated") go to a file, not on the screen.
LAUNCHER = """\
"$PYTHON" -c 'import fcntl, struct, termios
print(*struct.unpack("4H", fcntl.ioctl(0, termios.TIOCGWINSZ, bytes(8))))' > winsize.part
mv winsize.part winsize
exec 3<&0 4>&2 2>shell.log
"$PYTHON" "$@" <&3 2>&4 3<&- 4>&- &
echo $! > program.pid
wait $!
echo $? > program.status
exec sleep 600
"""


def missing_tools(*terminal_tools):
    return [tool for tool in (*terminal_tools, *X_TOOLS) if shutil.which(tool) is None]


def wait_for_file(path: Path, timeout: float) -> str:
    deadline = time.monotonic() + timeout
    while not path.exists():
        if time.monotonic() > deadline:
            raise TimeoutError(f"{path.name} did not appear within {timeout} s")
        time.sleep(0.05)
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
            self.close()
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

    def program_status(self, timeout: float) -> int:
        return int(wait_for_file(self.workdir / "program.status", timeout))

    def close(self) -> None:
        for process in filter(None, (self.terminal, self.xvfb)):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


def xterm_command(cols: int, rows: int, *, vt340: bool, font_size: int = 10):
    """xterm at the screen's corner with one font, no border or scroll bar; as a VT340 it
    has sixel graphics."""
    def command(launcher):
        return ["xterm", *(["-ti", "vt340"] if vt340 else []), "-fa", "DejaVu Sans Mono", "-fs", str(font_size),
                "-geometry", f"{cols}x{rows}+0+0", "-b", "0", "-bw", "0", "+sb", "-bg", "black",
                "-fg", "#e0e0e0", "-cr", "black", "-xrm", "XTerm*cursorBlink: false", "-e", *launcher]
    return command
