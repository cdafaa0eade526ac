"""One frame at the cursor, in the normal screen, left there for the text that follows.

For file-manager previews and scripts: the picture scrolls away with the text
like any output, and the cursor ends on the line below it.
"""

from __future__ import annotations

import os
from typing import Callable, Optional, Tuple

from . import _facetview as native
from .terminal import HIDE_CURSOR, SHOW_CURSOR, cursor_position, move_cursor, write_all


def default_rows(cols: int, screen_rows: int) -> int:
    """Rows for a picture as wide as the terminal: about square (a cell is twice as high
    as wide), at most half the screen."""
    return max(1, min(cols // 2, screen_rows // 2))


def draw_inline(
    surface,
    mesh: native.Mesh,
    camera: native.Camera,
    size: Optional[Tuple[int, int]],
    screen: Optional[Tuple[int, int]],
    out_fd: int = 1,
    in_fd: Optional[int] = None,
    draw: Optional[Callable[[native.Viewport], None]] = None,
) -> None:
    """Draws one frame of size (cols, rows) cells below the text, scrolling the screen when needed.

    screen is the terminal's (cols, rows), None when the output is not a
    terminal; in_fd, when given, is asked where the cursor is. A cursor of
    unknown place is taken to be on the bottom row, where a shell's prompt
    usually is. draw, where given, draws into the viewport instead of the
    mesh (a contact sheet of many models).
    """
    if screen is None:
        cols, rows = size
        feeds, top = rows, 0
    else:
        cols, rows = size or (screen[0], default_rows(*screen))
        rows = max(1, min(rows, screen[1] - 1))  # the cursor's line below the picture stays on screen
        position = cursor_position(in_fd, out_fd) if in_fd is not None else None
        row, col = position if position is not None else (screen[1] - 1, 0)
        start = row + 1 if col > 0 else row  # text before the cursor stays
        feeds = start + rows - row
        top = min(start + rows, screen[1] - 1) - rows
    # Line feeds make the room, scrolling the text up where the screen ends.
    write_all(out_fd, HIDE_CURSOR + b"\n" * feeds)
    try:
        viewport = native.Viewport(0, top, cols, rows)
        if draw is not None:
            draw(viewport)
        else:
            surface.render_to_terminal(mesh, camera, viewport)
    finally:
        write_all(out_fd, move_cursor(top + rows, 0) + SHOW_CURSOR)
