"""Inside real tmux, kitty graphics asked for by name are refused in one line: tmux
would make them the pane's title. What auto picks there draws and leaves the title as it was."""

import shutil
import subprocess
import sys
import time
from pathlib import Path

import pytest

pytestmark = pytest.mark.skipif(shutil.which("tmux") is None, reason="needs tmux")

TITLE = "untouched"


class DeadPane:
    """A detached tmux server of its own whose one pane stays after its program ends."""

    def __init__(self, workdir: Path, command):
        self.base = ["tmux", "-S", str(workdir / "tmux.socket"), "-f", str(workdir / "tmux.conf")]
        (workdir / "tmux.conf").write_text("set -g status off\nset -g remain-on-exit on\n")
        subprocess.run([*self.base, "new-session", "-d", "-x", "60", "-y", "12", *command], check=True, timeout=30)
        subprocess.run([*self.base, "select-pane", "-T", TITLE], check=True, timeout=30)

    def show(self, fmt: str) -> str:
        return subprocess.run([*self.base, "display-message", "-p", fmt], check=True, capture_output=True,
                              text=True, timeout=30).stdout.strip()

    def exit_status(self, path: Path) -> int:
        deadline = time.monotonic() + 30
        while not path.exists() or not path.read_text().endswith("\n"):
            assert time.monotonic() < deadline, "the viewer did not end"
            time.sleep(0.1)
        return int(path.read_text())

    def close(self):
        subprocess.run([*self.base, "kill-server"], capture_output=True, timeout=30)


@pytest.mark.parametrize("protocol, status_expected", [("kitty", 2), ("auto", 0)])
def test_tmux_gets_no_raw_kitty_graphics(tmp_path, protocol, status_expected):
    # The title is set after the pane started: a moment's wait lets it be set before the viewer draws.
    status = tmp_path / "status"
    pane = DeadPane(tmp_path, ["sh", "-c", f"sleep 0.5; {sys.executable} -m facetview --once --hold 0.5 "
                               f"--protocol {protocol}; echo $? > {status}"])
    try:
        assert pane.exit_status(status) == status_expected
        assert pane.show("#{pane_title}") == TITLE
    finally:
        pane.close()
