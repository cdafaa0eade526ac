"""A tmux server of a test's own, one detached window with no status line, and the
polling that tests of real terminals share."""

import shutil
import subprocess
import time
from pathlib import Path

import pytest

needs_tmux = pytest.mark.skipif(shutil.which("tmux") is None, reason="needs tmux")


def wait_for(condition, what, timeout=30, pause=0.2):
    """Polls until condition() gives something true, and returns it; `what` may be a callable
    that describes the failure."""
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        assert time.monotonic() < deadline, what() if callable(what) else what
        time.sleep(pause)
    return result


class Tmux:
    def __init__(self, workdir: Path, command, cols, rows, config=""):
        self.rows = rows
        self.base = ["tmux", "-S", str(workdir / "tmux.socket"), "-f", str(workdir / "tmux.conf")]
        (workdir / "tmux.conf").write_text("set -g status off\nset -g default-terminal tmux-256color\n" + config)
        self.run("new-session", "-d", "-c", str(workdir), "-x", str(cols), "-y", str(rows),
                 "-e", "COLORTERM=truecolor", *command)

    def run(self, *args) -> bytes:
        return subprocess.run([*self.base, *args], check=True, capture_output=True, timeout=30).stdout

    def capture(self, *options) -> bytes:
        # -N keeps trailing spaces, which may carry a background colour.
        return self.run("capture-pane", "-p", "-N", *options)

    def lines(self) -> list:
        """The pane's text, one string per row, every row there."""
        lines = self.capture().decode("utf-8", "replace").split("\n")[:self.rows]
        return lines + [""] * (self.rows - len(lines))

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        subprocess.run([*self.base, "kill-server"], capture_output=True, timeout=30)
