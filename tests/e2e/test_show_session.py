"""facetview.show() beside the text of an interactive interpreter: in tmux
(half-block cells, read back cell for cell) and in kitty (images, by screenshot). Pictures
stay where they were drawn, text and prompts come before and after them, never inside."""

import subprocess
import sys

import pytest

from tmux_server import Tmux, needs_tmux, wait_for
from x_terminal import kitty, missing_tools

COLS, ROWS = 60, 24
BLOCK = "\u2580"
REPL_LINES = ["import facetview as f", "m = f.Mesh.demo()", "f.show(m, cols=24, rows=5)",
              "f.show(m, cols=24, rows=5)", "print(6 * 7)"]

needs_kitty = pytest.mark.skipif(bool(missing_tools("kitty")), reason="needs kitty, Xvfb and imagemagick")


def run_repl(text, type_line):
    """Types the REPL's lines, each once its prompt is there: the screen's lines once the answer of
    the last one (42) is there too, and the rows of the prompts that asked for pictures."""
    for count, line in enumerate(REPL_LINES):
        wait_for(lambda: text().count(">>>") == count + 1, "no prompt")
        type_line(line)

    def answered():
        lines = text().split("\n")
        return "42" in [line.rstrip() for line in lines] and lines

    lines = wait_for(answered, "the last command's answer did not appear")
    return lines, [row for row, line in enumerate(lines) if line.startswith(">>> f.show")]


@needs_tmux
def test_tmux_repl_prompts_stay_outside_the_pictures(tmp_path):
    with Tmux(tmp_path, [sys.executable, "-q", "-i"], COLS, ROWS) as tmux:
        lines, shows = run_repl(lambda: tmux.capture().decode("utf-8", "replace"),
                                lambda line: tmux.run("send-keys", "-l", line, ";", "send-keys", "Enter"))
    blocks = [row for row, line in enumerate(lines) if BLOCK in line]
    assert len(blocks) == 10, lines
    # Cells of a single colour are spaces on that background; nothing of a picture beside it.
    assert all(set(lines[row][:24]) <= {BLOCK, " "} and not lines[row][24:].strip() for row in blocks), lines
    # Each picture comes right after the line that asked for it, the next prompt right after it.
    assert [row + 1 for row in shows] == [blocks[0], blocks[5]]
    assert lines[blocks[4] + 1].startswith(">>> f.show") and lines[blocks[9] + 1].startswith(">>> print")
    assert lines[blocks[9] + 2].rstrip() == "42"


def brightness(session, shot, rows, cols):
    """The brightest channel's mean in each cell of the rows and columns: above 12 where a picture
    is (the renderer's background is never black), below 2 where the screen is dark."""
    return [max(session.cell_mean(shot, col, row)) for row in rows for col in cols]


@needs_kitty
def test_kitty_repl_prompts_stay_outside_the_pictures(tmp_path):
    socket = tmp_path / "kitty.socket"
    remote_control = f"allow_remote_control yes\nlisten_on unix:{socket}\n"
    with kitty(tmp_path, COLS, ROWS, [], ["-q", "-i"], remote_control) as session:
        # kitty puts its process id after the socket's name.
        address = "unix:" + str(wait_for(lambda: next(tmp_path.glob("kitty.socket*"), None), "kitty does not listen"))

        def remote(*command):
            return subprocess.run(["kitty", "@", "--to", address, *command], check=True, timeout=30,
                                  capture_output=True).stdout.decode()

        lines, shows = run_repl(lambda: remote("get-text"), lambda line: remote("send-text", line + "\r"))
        # Five empty rows of picture after each show, the next prompt right below them.
        prompts = [row for row, line in enumerate(lines) if line.startswith(">>>")]
        assert [prompts[prompts.index(show) + 1] for show in shows] == [shows[0] + 6, shows[1] + 6]
        assert lines[shows[1] + 7].rstrip() == "42"
        assert all(not lines[row].strip() for show in shows for row in range(show + 1, show + 6))
        shot = session.screenshot()
        for show in shows:
            assert min(brightness(session, shot, range(show + 1, show + 6), range(24))) > 12
            assert max(brightness(session, shot, range(show + 1, show + 6), range(25, COLS))) < 2

