"""Inside real tmux, kitty graphics asked for by name are refused in one line (tmux would
make them the pane's title), and so is sixel where tmux does not announce it. What draws
there leaves the title as it was."""

import re
import shutil
import subprocess
import sys

import pytest

from tmux_server import Tmux, needs_tmux, wait_for

pytestmark = needs_tmux

TITLE = "untouched"


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
    # A pane that stays after its program ends.
    pane = Tmux(tmp_path, ["sh", "-c", f"sleep 0.5; {sys.executable} -m facetview --once --hold 0.5 "
                           f"--protocol {protocol}; echo $? > {status}"], 60, 12, "set -g remain-on-exit on\n")
    try:
        pane.run("select-pane", "-T", TITLE)
        wait_for(lambda: status.exists() and status.read_text().endswith("\n"), "the viewer did not end", pause=0.1)
        assert int(status.read_text()) == status_expected
        assert pane.run("display-message", "-p", "#{pane_title}").decode().strip() == TITLE
    finally:
        pane.close()
