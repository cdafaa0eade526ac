"""facetview.show() and Surface beside the text of an interactive interpreter: in tmux
(half-block cells, read back cell for cell) and in kitty (images, by screenshot). Pictures
stay where they were drawn, text and prompts come before and after them, never inside."""

import subprocess
import sys
import time

import pytest

from tmux_server import Tmux, needs_tmux, wait_for
from x_terminal import kitty, missing_tools, wait_for_file

COLS, ROWS = 60, 24
BLOCK = "\u2580"
REPL_LINES = ["import facetview as f", "m = f.Mesh.demo()", "f.show(m, cols=24, rows=5)",
              "f.show(m, cols=24, rows=5)", "print(6 * 7)"]

needs_kitty = pytest.mark.skipif(bool(missing_tools("kitty")), reason="needs kitty, Xvfb and imagemagick")


def tmux_type(tmux, line):
    tmux.run("send-keys", "-l", line)
    tmux.run("send-keys", "Enter")


def answered(lines):
    """lines, once the answer of the REPL's last line (42) is there; else None."""
    return lines if "42" in [line.rstrip() for line in lines] else None


def picture_rows(lines):
    """Rows that hold a picture's half-blocks."""
    return [row for row, line in enumerate(lines) if BLOCK in line]


@needs_tmux
def test_tmux_repl_prompts_stay_outside_the_pictures(tmp_path):
    tmux = Tmux(tmp_path, [sys.executable, "-q", "-i"], COLS, ROWS)
    try:
        for count, line in enumerate(REPL_LINES):
            wait_for(lambda: sum(l.startswith(">>>") for l in tmux.lines()) == count + 1, "no prompt")
            tmux_type(tmux, line)
        lines = wait_for(lambda: answered(tmux.lines()), "the last command's answer did not appear")
        blocks = picture_rows(lines)
        assert len(blocks) == 10, lines
        # Cells of a single colour are spaces on that background; nothing of a picture beside it.
        assert all(set(lines[row][:24]) <= {BLOCK, " "} and not lines[row][24:].strip() for row in blocks), lines
        prompts = [row for row, line in enumerate(lines) if line.startswith(">>>")]
        assert not set(prompts) & set(blocks)
        # Each picture comes right after the line that asked for it, the next prompt right after it.
        shows = [row for row in prompts if "f.show" in lines[row]]
        assert [row + 1 for row in shows] == [blocks[0], blocks[5]]
        assert lines[blocks[4] + 1].startswith(">>> f.show") and lines[blocks[9] + 1].startswith(">>> print")
        assert lines[blocks[9] + 2].rstrip() == "42"
    finally:
        tmux.close()


def brightness(session, shot, rows, cols):
    """The brightest channel's mean in each cell of the rows and columns: above 12 where a picture
    is (the renderer's background is never black), below 2 where the screen is dark."""
    return [max(session.cell_mean(shot, col, row)) for row in rows for col in cols]


@needs_kitty
def test_kitty_repl_prompts_stay_outside_the_pictures(tmp_path):
    socket = tmp_path / "kitty.socket"
    session = kitty(tmp_path, COLS, ROWS, [], ["-q", "-i"], f"allow_remote_control yes\nlisten_on unix:{socket}\n")
    try:
        # kitty puts its process id after the socket's name.
        address = "unix:" + str(wait_for(lambda: next(tmp_path.glob("kitty.socket*"), None), "kitty does not listen"))

        def remote(*command):
            return subprocess.run(["kitty", "@", "--to", address, *command], check=True, timeout=30,
                                  capture_output=True).stdout.decode()

        for count, line in enumerate(REPL_LINES):
            wait_for(lambda: remote("get-text").count(">>>") == count + 1, "no prompt")
            remote("send-text", line + "\r")
        lines = wait_for(lambda: answered(remote("get-text").split("\n")), "no answer to the last line")
        prompts = [row for row, line in enumerate(lines) if line.startswith(">>>")]
        shows = [row for row in prompts if "f.show" in lines[row]]
        # Five rows of picture after each show, and the next prompt right below it.
        following = [prompts[prompts.index(show) + 1] for show in shows]
        assert len(shows) == 2 and following == [shows[0] + 6, shows[1] + 6]
        assert lines[following[1] + 1].rstrip() == "42"
        assert all(not lines[row].strip() for show in shows for row in range(show + 1, show + 6))
        shot = session.screenshot()
        for show in shows:
            assert min(brightness(session, shot, range(show + 1, show + 6), range(24))) > 12
            assert max(brightness(session, shot, range(show + 1, show + 6), range(25, COLS))) < 2
        session.save_window(str(tmp_path / "kitty-repl.png"))
    finally:
        session.close()


# Two surfaces side by side; the right one is cleared when the test asks.
SIDE_BY_SIDE = """\
import os, time, facetview as f
m, left, right = f.Mesh.demo(), f.Surface("medium"), f.Surface("medium")
left.render_to_terminal(m, f.Camera(), f.Viewport(0, 0, 24, 8))
right.render_to_terminal(m, f.Camera(yaw=1.0), f.Viewport(30, 0, 24, 8))
left.render_to_terminal(m, f.Camera(yaw=0.2), f.Viewport(0, 0, 24, 8))
open("drawn", "w").close()
while not os.path.exists("clear"):
    time.sleep(0.05)
right.clear()
open("cleared", "w").close()
time.sleep(60)
"""


@needs_kitty
def test_kitty_two_surfaces_keep_to_their_own_images(tmp_path):
    (tmp_path / "sides.py").write_text(SIDE_BY_SIDE)
    session = kitty(tmp_path, COLS, ROWS, [], ["sides.py"])
    try:
        wait_for_file(tmp_path / "drawn", 30)
        wait_for(lambda: min(brightness(session, session.screenshot(), range(8), [*range(24), *range(30, 54)])) > 12,
                 "both pictures are not on the screen")
        session.save_window(str(tmp_path / "kitty-two-surfaces.png"))
        (tmp_path / "clear").touch()
        wait_for_file(tmp_path / "cleared", 30)
        time.sleep(1)
        # The left picture stays whole. (Whether kitty 0.26 takes the right one away is up to
        # it: it sometimes keeps images that a delete by id names; the bytes are pinned elsewhere.)
        assert min(brightness(session, session.screenshot(), range(8), range(24))) > 12, \
            "clear() of one surface took the other"
        session.save_window(str(tmp_path / "kitty-one-cleared.png"))
    finally:
        session.close()
