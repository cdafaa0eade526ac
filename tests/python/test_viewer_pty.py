"""The viewer on a pseudo-terminal: it ends, stops and hangs up cleanly, gives the terminal back, and draws
with what the terminal answers. Inside tmux (TMUX set) kitty graphics asked for by name never reach the
terminal raw, since tmux makes them the pane's title, and sixel is drawn only where tmux announces it."""

import os
import re
import signal
import subprocess
import termios
import threading
import time

import pytest

from conftest import child_env, drained

MOUSE_ON, MOUSE_OFF = b"\x1b[?1000h\x1b[?1002h\x1b[?1006h", b"\x1b[?1006l\x1b[?1002l\x1b[?1000l"
TAKEN = b"\x1b[?1049h\x1b[?25l\x1b[2J" + MOUSE_ON
GIVEN_BACK = b"\x1b_Ga=d,d=A,q=2\x1b\\" + MOUSE_OFF + b"\x1b[?25h\x1b[?1049l"
STATUS = b"\x1b[12;1Hdemo hull | 12 triangles"


@pytest.mark.parametrize("end, status", [(b"q", 0), (b"\x03", 0), (signal.SIGTERM, -signal.SIGTERM),
                                         (signal.SIGHUP, -signal.SIGHUP), (signal.SIGINT, 128 + signal.SIGINT)])
def test_viewer_ends_and_gives_the_terminal_back(viewers, end, status):
    viewer = viewers()
    viewer.read_until(STATUS)
    assert viewer.output.startswith(TAKEN + b"\x1b7\x1b_Ga=d,d=A,q=2\x1b\\")
    os.write(viewer.master, end) if isinstance(end, bytes) else viewer.process.send_signal(end)
    assert viewer.finish() == (status, b"")
    assert viewer.output.endswith(GIVEN_BACK) and viewer.modes() == viewer.modes_before


def test_a_model_from_standard_input_leaves_the_keys_to_the_terminal(viewers, tmp_path):
    refused = viewers("-")  # standard input is the terminal: there is no model to read
    status, said = refused.finish()
    assert status == 2 and b"- reads the model from standard input, which is a terminal here" in said
    (tmp_path / "part.obj").write_bytes(b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n")
    with open(tmp_path / "part.obj", "rb") as model:
        viewer = viewers("-", controlling=True, stdin=model)
    viewer.read_until(b"standard input | 1 triangles")
    viewer.quit()
    assert viewer.output.endswith(GIVEN_BACK)


@pytest.mark.parametrize("stop", [signal.SIGTSTP, b"\x1a", signal.SIGSTOP])
def test_a_stopped_viewer_takes_the_terminal_again_when_continued(viewers, stop):
    viewer = viewers("--no-spin")
    viewer.read_until(STATUS)
    raw_modes = viewer.modes()
    os.write(viewer.master, stop) if isinstance(stop, bytes) else viewer.process.send_signal(stop)
    _, wait_status = os.waitpid(viewer.process.pid, os.WUNTRACED)
    assert os.WIFSTOPPED(wait_status)
    assert os.WSTOPSIG(wait_status) == (stop if stop == signal.SIGSTOP else signal.SIGTSTP)
    if stop == signal.SIGSTOP:
        # Stopped from elsewhere: whatever ran meanwhile may have changed the modes and the
        # screen, so all of it is given back and set up again.
        stopped_at, taken = len(viewer.output), GIVEN_BACK + TAKEN
    else:
        stopped_at, taken = viewer.read_until(GIVEN_BACK), TAKEN
        assert viewer.modes() == viewer.modes_before
    viewer.process.send_signal(signal.SIGCONT)
    # The screen is taken again and the whole picture sent again: every tile.
    resumed_at = viewer.read_until(STATUS, viewer.read_until(taken, stopped_at))
    assert viewer.output.count(b"a=p,", stopped_at) == viewer.output.count(b"a=p,", 0, stopped_at) > 0
    assert viewer.modes() == raw_modes
    viewer.quit()
    assert viewer.read_until(GIVEN_BACK, resumed_at) == len(viewer.output)
    assert viewer.modes() == viewer.modes_before


def test_a_terminal_that_hangs_up_ends_the_viewer_without_a_word(viewers):
    viewer = viewers(controlling=True)
    viewer.read_until(STATUS)
    os.close(viewer.master)  # the terminal window goes: its session gets SIGHUP
    assert viewer.process.wait(timeout=20) == -signal.SIGHUP
    assert viewer.process.stderr.read() == b""


def test_a_frame_too_large_for_memory_gets_one_line_and_leaves_the_terminal_as_it_was(viewers):
    viewer = viewers(size=(65535, 65535))  # a terminal that says it is that big
    assert viewer.finish(60) == (1, b"facetview: not enough memory for a frame of 65535x65535 cells\n")
    assert viewer.modes() == viewer.modes_before and viewer.output in (b"", TAKEN + GIVEN_BACK)


def test_the_session_waits_for_a_slow_nonblocking_terminal(pty_terminal):
    from facetview.terminal import TerminalSession

    slave, master = pty_terminal
    os.set_blocking(slave, False)
    received, given_back = [], GIVEN_BACK.replace(MOUSE_OFF, b"")

    def read_slowly():
        while not received or not received[-1].endswith(given_back):
            time.sleep(0.002)
            received.append(os.read(master, 256))

    reader = threading.Thread(target=read_slowly)
    reader.start()
    try:
        with TerminalSession(out_fd=slave, in_fd=slave) as session:
            for row in range(300):
                session.write_line(row % 10, f"line {row:03} ".ljust(80, "."))
    finally:
        reader.join(timeout=20)
    output = b"".join(received)
    lines = re.findall(rb"line (\d+) \.+\x1b\[K", output)
    assert lines == [b"%03d" % row for row in range(300)] and output.endswith(given_back)


def test_writing_goes_on_after_a_partial_write():
    from facetview.terminal import write_all

    read_end, write_end = os.pipe()
    os.set_blocking(write_end, False)  # a full pipe takes part of a write, then raises
    data, received = bytes(range(256)) * 4096, bytearray()
    reader = threading.Thread(target=lambda: [received.extend(chunk) for chunk in iter(
        lambda: os.read(read_end, 65536), b"")])
    reader.start()
    write_all(write_end, data)
    os.close(write_end)
    reader.join(timeout=20)
    os.close(read_end)
    assert received == data


@pytest.mark.parametrize("failing", [b"\x1b_Ga=d", b"\x1b[?1006l", b"\x1b[?25h"])
def test_each_step_of_giving_the_terminal_back_is_tried_after_one_failed(monkeypatch, pty_terminal, failing):
    from facetview import terminal

    def failing_write(fd, data, write=os.write):
        if bytes(data).startswith(failing):
            raise OSError(5, "Input/output error")
        return write(fd, data)

    slave, master = pty_terminal
    modes_before = termios.tcgetattr(slave)
    with terminal.TerminalSession(out_fd=slave, in_fd=slave, mouse=True):
        monkeypatch.setattr(terminal.os, "write", failing_write)
    assert termios.tcgetattr(slave) == modes_before
    steps = [b"\x1b_Ga=d,d=A,q=2\x1b\\", MOUSE_OFF, b"\x1b[?25h", b"\x1b[?1049l"]
    assert drained(master).endswith(b"".join(step for step in steps if not step.startswith(failing)))


@pytest.mark.parametrize("reply, feeds, top", [
    (b"\x1b[5;1R", 4, 4),  # the cursor on row 5 at the start of its line: the picture starts there
    (b"\x1b[5;7R", 5, 5),  # text before the cursor stays: the picture starts on the next line
    (b"\x1b[12;1R", 4, 7),  # on the bottom row the screen scrolls up to make room
    (None, 4, 7),  # a terminal that does not answer: taken as the bottom row
])
def test_inline_draws_one_frame_below_the_cursor_and_leaves_it(viewers, reply, feeds, top):
    viewer = viewers("--inline", "--size", "20x4")
    asked_at = viewer.read_until(b"\x1b[6n")
    if reply is not None:
        os.write(viewer.master, reply)
    assert viewer.finish() == (0, b"")
    end = b"\x1b[%d;1H\x1b[?25h" % (top + 5)
    drawn = viewer.output[asked_at:]
    # The cursor kept around the frame, which deletes no earlier picture.
    assert drawn.startswith(b"\x1b[?25l" + b"\r\n" * feeds + b"\x1b7\x1b_Ga=t,") and drawn.endswith(b"\x1b8" + end)
    assert b"a=d," not in drawn
    # Every tile on the picture's rows; the images stay, in the normal screen.
    assert {int(row) for row in re.findall(rb"\x1b\[(\d+);\d+H", drawn[:-len(end)])} == {top + 1}
    assert drawn.count(b"a=p,") == 3 and b"\x1b[?1049h" not in viewer.output
    assert viewer.modes() == viewer.modes_before


QUERIES = b"\x1b_Gi=31,s=1,v=1,a=q,t=d,f=24;AAAA\x1b\\\x1b[16t\x1b[?1;1;0S\x1b[?2;1;0S\x1b[c"
DA1_VT340 = b"\x1b[?63;1;2;4;6;9;15;16;22;28c"
KITTY, SIXEL, BLOCK = b"\x1b_G", b"\x1bP0;1q", "\u2580".encode()


@pytest.mark.parametrize("protocol, answer, drawn, method", [
    (None, b"\x1b_Gi=31;OK\x1b\\\x1b[?62;c", b"\x1b_Ga=t,", b"kitty graphics"),
    # 100 x 11 cells of 8 x 16 pixels where the largest image is 400 x 100: half of them;
    # sixel named by the user still learns the terminal's limits.
    (None, b"\x1b[6;16;8t\x1b[?2;0;400;100S" + DA1_VT340, SIXEL, b"sixel at 1/2 size"),
    ("sixel", b"\x1b[6;16;8t\x1b[?2;0;400;100S" + DA1_VT340, SIXEL, b"sixel at 1/2 size"),
    (None, None, BLOCK, b"half-blocks"),  # no answer at all
])
def test_the_viewer_draws_with_what_the_terminal_answers(viewers, protocol, answer, drawn, method):
    viewer = viewers(protocol=protocol, size=(100, 12))  # wide enough for the whole status line
    viewer.read_until(QUERIES)
    if answer is not None:
        # A key typed while the terminal was asked reaches the viewer all the same:
        # space pauses the turntable.
        os.write(viewer.master, answer + b" ")
    # A sane cell size makes the terminal's own pixels the default quality.
    quality = b"full" if answer and answer.startswith(b"\x1b[6;16;8t") else b"medium"
    viewer.read_until(STATUS + " | 1.9 × 1.4 × 1.4 | ".encode() + quality + b" | " + method + " | zoom 1×".encode()
                      + (b" | paused" if answer else b""))
    assert drawn in viewer.output
    viewer.quit()


@pytest.mark.parametrize("answer, lines", [
    (b"\x1b[6;16;8t\x1b[?63;1;2;4;6;9;15;16;22;28c", [b"method: sixel", b"cell size: 8x16 pixels"]),
    (None, [b"method: blocks", b"terminal: no answer within the timeout"]),
])
def test_detect_tells_what_the_terminal_answered(viewers, answer, lines):
    viewer = viewers("--detect", protocol=None)
    viewer.read_until(QUERIES)
    if answer is not None:
        os.write(viewer.master, answer)
    assert viewer.finish()[0] == 0
    assert all(line in viewer.output for line in lines)


KITTY_REFUSAL = (b"facetview: --protocol kitty does not work inside tmux, which does not pass kitty graphics on; "
                 b"use --protocol blocks, or sixel where tmux shows it (see --detect)\n")
SIXEL_REFUSAL = (b"facetview: --protocol sixel: this tmux does not announce sixel, so nothing would be seen; "
                 b"use --protocol blocks\n")


@pytest.mark.parametrize("args, tmux, to_terminal, answer, refusal, shown", [
    # Refused before anything is written: the terminal is left exactly as it was.
    (["--protocol", "kitty", "--once"], True, True, None, KITTY_REFUSAL, None),
    # What else draws there sends no kitty command either, not even the delete-all on the way out.
    (["--protocol", "blocks", "--once"], True, True, None, b"", BLOCK),
    (["--once"], True, True, None, b"", BLOCK),  # nothing answers: half-block cells
    # A pipe is no tmux pane: it gets the kitty commands it always got.
    (["--protocol", "kitty", "--once", "--size", "20x6"], True, False, None, b"", KITTY),
    # Outside tmux the terminal gets what it asked for.
    (["--protocol", "kitty", "--once"], False, True, None, b"", KITTY),
    # A tmux built with sixel draws it in its client's pixels; one without would show nothing.
    (["--protocol", "sixel", "--once", "--size", "20x6"], True, True, b"\x1b[?1;2;4c", b"", SIXEL),
    (["--protocol", "sixel", "--once", "--size", "20x6"], True, True, b"\x1b[?1;2c", SIXEL_REFUSAL, None),
    (["--protocol", "sixel", "--once", "--size", "20x6"], True, True, None, b"", SIXEL),  # a tmux that does not answer
])
def test_graphics_inside_tmux(viewers, args, tmux, to_terminal, answer, refusal, shown):
    environ = {key: value for key, value in child_env().items() if key != "TMUX"}
    if tmux:
        environ["TMUX"] = "/tmp/tmux-0/default,1234,0"
    viewer = viewers(*args, protocol=None, env=environ, stdout=None if to_terminal else subprocess.PIPE)
    asked = viewer.read_until(b"\x1b[c") if answer else 0
    if answer:
        assert KITTY not in viewer.output
        os.write(viewer.master, b"\x1b[6;16;8t" + answer)
    status, said = viewer.finish(60)
    written = viewer.output[asked:] if to_terminal else viewer.process.stdout.read()
    assert (status, said) == ((2, refusal) if refusal else (0, b""))
    assert (KITTY in written) == (shown == KITTY)
    assert shown in written if shown else written == b""
