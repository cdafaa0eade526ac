"""The design loop in real terminals: the viewer follows its file as an exporter rewrites it,
several models show in a grid, and --inline prints a contact sheet."""

import os
import subprocess
import sys
import time

import pytest

from test_cell_terminals import COLS, ROWS
from tmux_server import Tmux, needs_tmux, wait_for
from x_terminal import SCREEN_WIDTH, kitty, missing_tools

TETRAHEDRON = b"v 0 0 0\nv 1 0 0\nv 0 1 0\nv 0 0 1\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n"


def obj_of(triangles):
    """An OBJ text of that many triangles side by side."""
    lines = [f"v {i} 0 0\nv {i + 1} 0 0\nv {i} 1 0\nf {3 * i + 1} {3 * i + 2} {3 * i + 3}\n" for i in range(triangles)]
    return "".join(lines).encode()


def wait_to_see(tmux, wanted, seconds, row=-1):
    """Waits until the row (the status line unless told) holds wanted."""
    wait_for(lambda: wanted in tmux.lines()[row], lambda: f"{wanted!r} not seen in {seconds} s: {tmux.lines()[row]!r}",
             seconds, 0.05)


def in_place(path, content):
    with open(path, "r+b") as file:
        file.write(content)
        file.truncate()


def truncate_then_write(path, content):
    with open(path, "wb") as file:
        file.flush()
        time.sleep(0.3)  # an exporter that takes its time: the empty file is seen first
        file.write(content)


def rename_over(path, content):
    path.with_suffix(".tmp").write_bytes(content)
    os.replace(path.with_suffix(".tmp"), path)


@needs_tmux
def test_the_viewer_follows_each_way_a_file_is_rewritten(tmp_path):
    live = tmp_path / "live.obj"
    live.write_bytes(obj_of(1))
    with Tmux(tmp_path, [sys.executable, "-m", "facetview", "live.obj", "--no-spin"], COLS, ROWS) as tmux:
        wait_to_see(tmux, "live.obj | 1 triangles", 30)
        for count, write in [(2, in_place), (3, truncate_then_write), (4, rename_over)]:
            write(live, obj_of(count))
            wait_to_see(tmux, f"live.obj | {count} triangles", 1.0)
        # Half a file: the model on screen stays and the reason shows; the next good write loads.
        live.write_bytes(obj_of(5) + b"f 1 2 99\n")
        wait_to_see(tmux, "reload failed: OBJ line 21", 1.0)
        assert any("▀" in line for line in tmux.lines()[:ROWS - 1])  # the old model, still drawn
        live.write_bytes(obj_of(6))
        wait_to_see(tmux, "live.obj | 6 triangles", 1.0)
        # Keys still work: q quits, and with the viewer the pane goes.
        tmux.run("send-keys", "q")
        wait_for(lambda: subprocess.run([*tmux.base, "has-session"], capture_output=True, timeout=30).returncode,
                 "q did not quit", 2.0, 0.05)


@needs_tmux
def test_a_grid_of_three_shows_three_pictures_and_names(tmp_path):
    (tmp_path / "first.obj").write_bytes(TETRAHEDRON)
    (tmp_path / "second.obj").write_bytes(obj_of(2))
    (tmp_path / "photo.stl").write_bytes(b"\xff\xd8\xff\xe0 not a model")
    with Tmux(tmp_path, [sys.executable, "-m", "facetview", "first.obj", "second.obj", "photo.stl", "--no-spin"],
              COLS, ROWS) as tmux:
        name_row = ROWS - 2  # cells fill the screen above the status line
        wait_to_see(tmux, "photo.stl", 30, name_row)
        names = tmux.lines()[name_row]
        assert names.index("first.obj") < names.index("second.obj") < names.index("photo.stl")
        # Pictures in the first two cells, the reason in the third; the names may come first.
        width = COLS // 3

        def cells_drawn():
            picture_rows = tmux.lines()[:name_row]
            return (all(any("▀" in line[cell * width:(cell + 1) * width] for line in picture_rows)
                        for cell in range(2))
                    and "JPEG" in "".join(line[2 * width:] for line in picture_rows))
        wait_for(cells_drawn, "two pictures and the reason", 5.0, 0.05)
        assert tmux.lines()[-1].startswith("first.obj | 4 triangles")
        tmux.run("send-keys", "Tab")
        wait_to_see(tmux, "second.obj | 2 triangles", 2.0)
        tmux.run("send-keys", "Enter")
        wait_for(lambda: "first.obj" not in "".join(tmux.lines()), "no model alone, without the grid", 2.0, 0.05)
        tmux.run("send-keys", "Escape")
        wait_to_see(tmux, "first.obj", 2.0, name_row)


@pytest.mark.skipif(bool(missing_tools("kitty")), reason="needs kitty, Xvfb and imagemagick")
def test_contact_sheet_in_kitty(tmp_path):
    (tmp_path / "a.obj").write_bytes(TETRAHEDRON)
    (tmp_path / "b.obj").write_bytes(obj_of(3))
    (tmp_path / "c.stl").write_bytes(b"\xff\xd8\xff\xe0 a photo")
    with kitty(tmp_path, 80, 24, ["a.obj", "b.obj", "c.stl", "--inline"]) as session:
        assert session.program_status(60) == 0

        def lit_thumbnails():
            """Bright pixels in each of the three thumbnails of 24 cells, as the window shows now."""
            shot, width = session.screenshot(), 24 * session.cell_width
            rows = [shot[y * SCREEN_WIDTH * 3:(y * SCREEN_WIDTH + 3 * width) * 3] for y in range(session.rows * session.cell_height)]
            return [sum(sum(row[x:x + 3]) > 250 for row in rows for x in range(i * width * 3, (i + 1) * width * 3, 3))
                    for i in range(3)]

        # Two pictures, and the third thumbnail's reason as text; kitty may take a moment to show them.
        wait_for(lambda: min(lit_thumbnails()) > 100, lambda: f"bright pixels per thumbnail: {lit_thumbnails()}", 20, 0.5)

