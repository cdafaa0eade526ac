"""facetview inside a real kitty terminal on a virtual X display.

Also a script: `python tests/e2e/kitty_session.py OUT.png [viewer options]`
saves a screenshot of the viewer (the README's picture), taken 4 seconds after
the start; give --hold so that the viewer is still there.
"""

import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

SCREEN_WIDTH, SCREEN_HEIGHT = 1024, 768
TOOLS = ("kitty", "Xvfb", "import", "convert")

# A fixed look: no decorations or padding, the cell grid at the window's corner,
# one font, a black background and a cursor that cannot be seen on it.
KITTY_CONFIG = """\
font_family DejaVu Sans Mono
font_size 10
remember_window_size no
initial_window_width {cols}c
initial_window_height {rows}c
window_padding_width 0
placement_strategy top-left
hide_window_decorations yes
background #000000
foreground #e0e0e0
cursor #000000
cursor_text_color background
cursor_blink_interval 0
enable_audio_bell no
update_check_interval 0
"""

# Runs in kitty: records the window size in cells and pixels, then the viewer in
# the background with the terminal as its input, so that the test learns its
# process id; when it has ended the window stays, to be looked at again. The
# shell's own messages (such as "Terminated") go to a file, not on the screen.
LAUNCHER = """\
"$PYTHON" -c 'import fcntl, struct, termios
print(*struct.unpack("4H", fcntl.ioctl(0, termios.TIOCGWINSZ, bytes(8))))' > winsize.part
mv winsize.part winsize
exec 3<&0 4>&2 2>shell.log
"$PYTHON" -m facetview "$@" <&3 2>&4 3<&- 4>&- &
echo $! > viewer.pid
wait $!
echo $? > viewer.status
exec sleep 600
"""


def missing_tools():
    return [tool for tool in TOOLS if shutil.which(tool) is None]


def wait_for_file(path: Path, timeout: float) -> str:
    deadline = time.monotonic() + timeout
    while not path.exists():
        if time.monotonic() > deadline:
            raise TimeoutError(f"{path.name} did not appear within {timeout} s")
        time.sleep(0.05)
    return path.read_text()


class KittySession:
    """Xvfb, and a kitty window of cols × rows cells running the viewer with args."""

    def __init__(self, workdir: Path, cols: int, rows: int, args):
        self.workdir = workdir
        self.kitty = None
        read_end, write_end = os.pipe()
        self.xvfb = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}x24",
             "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        try:
            with os.fdopen(read_end) as display_number:
                self.display = ":" + display_number.readline().strip()
            self._start_kitty(workdir, cols, rows, args)
        except BaseException:
            self.close()
            raise

    def _start_kitty(self, workdir: Path, cols: int, rows: int, args) -> None:
        (workdir / "kitty.conf").write_text(KITTY_CONFIG.format(cols=cols, rows=rows))
        (workdir / "launch.sh").write_text(LAUNCHER)
        environment = dict(os.environ, DISPLAY=self.display, LIBGL_ALWAYS_SOFTWARE="1",
                           PYTHON=sys.executable, KITTY_CONFIG_DIRECTORY=str(workdir))
        self.kitty = subprocess.Popen(
            ["kitty", "--config", str(workdir / "kitty.conf"), "--directory", str(workdir),
             "sh", str(workdir / "launch.sh"), *args],
            env=environment, cwd=workdir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.rows, self.cols, width, height = map(int, wait_for_file(workdir / "winsize", 30).split())
        self.cell_width, self.cell_height = width // self.cols, height // self.rows
        self.viewer_pid = int(wait_for_file(workdir / "viewer.pid", 30))

    def screenshot(self) -> bytes:
        """The whole X screen, 8-bit RGB, rows top to bottom."""
        return subprocess.run(["import", "-display", self.display, "-window", "root", "-depth", "8", "rgb:-"],
                              check=True, capture_output=True, timeout=30).stdout

    def save_window(self, path: str) -> None:
        """The kitty window as a PNG file."""
        width, height = self.cols * self.cell_width, self.rows * self.cell_height
        subprocess.run(["convert", "-size", f"{SCREEN_WIDTH}x{SCREEN_HEIGHT}", "-depth", "8", "rgb:-",
                        "-crop", f"{width}x{height}+0+0", "+repage", path],
                       input=self.screenshot(), check=True, timeout=30)

    def viewer_status(self, timeout: float) -> int:
        return int(wait_for_file(self.workdir / "viewer.status", timeout))

    def close(self) -> None:
        for process in filter(None, (self.kitty, self.xvfb)):
            process.terminate()
            try:
                process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()


if __name__ == "__main__":
    import signal
    import tempfile

    with tempfile.TemporaryDirectory() as workdir:
        session = KittySession(Path(workdir), 72, 22, sys.argv[2:])
        try:
            time.sleep(4)  # let the frames and the status line settle
            session.save_window(sys.argv[1])
            os.kill(session.viewer_pid, signal.SIGTERM)
        finally:
            session.close()
