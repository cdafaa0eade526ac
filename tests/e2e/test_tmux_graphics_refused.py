"""Inside real tmux, kitty graphics asked for by name are refused in one line (tmux would
make them the pane's title), and so is sixel where tmux does not announce it. What draws
there leaves the title as it was."""

import re
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


def tmux_may_show_sixel() -> bool:
    """tmux draws sixel from 3.4 on, where it was built with it."""
    if shutil.which("tmux") is None:
        return False
    version = subprocess.run(["tmux", "-V"], capture_output=True, text=True, check=False).stdout.split()[-1:]
    return not version or tuple(int(part) for part in re.findall(r"\d+", version[0])[:2]) >= (3, 4)


# A tmux without sixel does not announce it: naming sixel is refused there too.
@pytest.mark.parametrize("protocol, status_expected", [
    ("kitty", 2), ("auto", 0), ("blocks", 0),
    pytest.param("sixel", 2, marks=pytest.mark.skipif(tmux_may_show_sixel(), reason="this tmux may show sixel")),
])
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
