"""Many models at once: a grid of pictures with their names, all turning together.

Each file loads on a thread of its own (the native decoder lets go of the
interpreter lock), so the first picture does not wait for the largest file:
a cell shows "loading" until its model is there, and the reason where it
cannot be shown.
"""

from __future__ import annotations

import math
import os
from concurrent.futures import Future, ThreadPoolExecutor
from dataclasses import dataclass
from typing import List, Optional, Sequence, Tuple

from . import _facetview as native
from .keys import Action, MouseEvent, MouseKind
from .models import Model, ModelError, open_model, shown_path
from .status import fit_to_width, printable
from .terminal import move_cursor, write_all
from .viewer import LEFT_BUTTON, Viewer

REVERSE = "\x1b[7m"
PLAIN = "\x1b[0m"
# Every picture is a cell wide narrower than its column, so pictures never touch.
GAP_COLS = 1
NAME_ROWS = 1
LOADING = "loading…"


class Entry:
    """One file of the grid: its model once loaded, or why it cannot be shown."""

    def __init__(self, path: str, future: Future) -> None:
        self.path = path
        self._future = future

    @property
    def title(self) -> str:
        return shown_path(os.path.basename(os.path.normpath(self.path)))

    @property
    def model(self) -> Optional[Model]:
        if not self._future.done() or self._future.exception() is not None:
            return None
        return self._future.result()

    @property
    def failure(self) -> Optional[str]:
        """The reason the file cannot be shown, without its path; None while loading or loaded."""
        if not self._future.done():
            return None
        error = self._future.exception()
        if error is None:
            return None
        text = str(error)
        prefix = shown_path(self.path) + ": "
        return text[len(prefix):] if text.startswith(prefix) else text

    def wait(self) -> None:
        self._future.exception()


def load_all(paths: Sequence[str], up: Optional[str]) -> List[Entry]:
    """Starts loading every file at once, a few at a time in parallel."""
    pool = ThreadPoolExecutor(max_workers=min(len(paths), max(os.cpu_count() or 1, 2)))
    entries = [Entry(path, pool.submit(_load, path, up)) for path in paths]
    pool.shutdown(wait=False)
    return entries


def _load(path: str, up: Optional[str]) -> Model:
    try:
        return open_model(path, up)
    except MemoryError:
        raise ModelError(f"{shown_path(path)}: not enough memory to load the model") from None


@dataclass(frozen=True)
class Layout:
    """Cells of cell_cols x cell_rows in rows of `per_row`, from (left, top)."""

    per_row: int
    cell_cols: int
    cell_rows: int
    left: int = 0
    top: int = 0

    def cell(self, index: int) -> Tuple[int, int]:
        """The (col, row) of cell index's top-left corner."""
        return (self.left + index % self.per_row * self.cell_cols,
                self.top + index // self.per_row * self.cell_rows)

    def picture(self, index: int) -> native.Viewport:
        col, row = self.cell(index)
        return native.Viewport(col, row, max(self.cell_cols - GAP_COLS, 1),
                               max(self.cell_rows - NAME_ROWS, 1))

    def index_at(self, col: int, row: int, count: int) -> Optional[int]:
        across = (col - self.left) // self.cell_cols
        down = (row - self.top) // self.cell_rows
        if col < self.left or row < self.top or across >= self.per_row:
            return None
        index = down * self.per_row + across
        return index if index < count else None


def fitted_layout(count: int, cols: int, rows: int) -> Layout:
    """The layout whose cells are largest for count pictures in cols x rows cells; a cell is
    about twice as high as wide, so a square picture is twice as many columns as rows."""
    best, best_side = None, -1
    for per_row in range(1, count + 1):
        down = math.ceil(count / per_row)
        cell_cols, cell_rows = cols // per_row, rows // down
        side = min(cell_cols - GAP_COLS, 2 * (cell_rows - NAME_ROWS))
        if cell_cols >= 2 and cell_rows >= 2 and side > best_side:
            best, best_side = Layout(per_row, cell_cols, cell_rows), side
    return best or Layout(count, max(cols // count, 1), max(rows, 1))


def cell_texts(entries: Sequence[Entry], layout: Layout, selected: Optional[int]) -> bytes:
    """Each cell's name on its bottom row (the selected one reversed), and in cells that
    show no picture, why (or that it is still loading)."""
    out = []
    width = max(layout.cell_cols - GAP_COLS, 1)
    for index, entry in enumerate(entries):
        col, row = layout.cell(index)
        name = fit_to_width(printable(entry.title), width)
        style = REVERSE if index == selected else ""
        out.append(move_cursor(row + layout.cell_rows - NAME_ROWS, col) +
                   f"{style}{name}{PLAIN}".encode("utf-8", "replace"))
        if entry.model is None:
            message = entry.failure or LOADING
            for line, text in enumerate(wrapped(printable(message), width, layout.cell_rows - NAME_ROWS)):
                out.append(move_cursor(row + line, col) + text.encode("utf-8", "replace"))
    return b"".join(out)


def wrapped(text: str, width: int, lines: int) -> List[str]:
    """text in at most `lines` pieces of at most width cells."""
    pieces = []
    while text and len(pieces) < lines:
        piece = fit_to_width(text, width) or text[:1]
        if len(piece) < len(text) and " " in piece:
            piece = piece[:piece.rindex(" ")]  # a break between words where there is one
        pieces.append(piece)
        text = text[len(piece):].lstrip()
    return pieces


def grid_cells(entries: Sequence[Entry], layout: Layout, camera_for, mesh_of=lambda model: model.mesh) -> list:
    """render_grid's cells: every loaded model over its picture."""
    cells = []
    for index, entry in enumerate(entries):
        model = entry.model
        if model is not None:
            cells.append((mesh_of(model), camera_for(model), layout.picture(index)))
    return cells


class GridViewer(Viewer):
    """A Viewer of many models: a grid of them, or one alone (Enter), back with Esc.

    Tab and Shift-Tab (or a click) pick a model; the status line speaks of the
    one picked. The turntable, zoom and views act on all pictures together.
    """

    def __init__(self, surface, entries: Sequence[Entry], session, terminal_size, **options) -> None:
        self.entries = list(entries)
        self.selected = 0
        self.alone: Optional[int] = None  # the index shown alone
        self._layout: Optional[Layout] = None
        self._shown_models: Optional[list] = None
        self._plain_meshes = {}  # the meshes without their colours, made once each
        placeholder = Model(native.Mesh.demo(), None, "y")
        super().__init__(surface, placeholder, session, terminal_size, **options)

    def selected_model(self) -> Optional[Model]:
        return self.entries[self.selected].model

    def draw_frame(self) -> None:
        if self.alone is not None:
            super().draw_frame()
            return
        self.follow_terminal_size()
        models = [(entry.model, entry.failure) for entry in self.entries]
        if models != self._shown_models:  # a load finished
            self._shown_models = models
            self._dirty = True
        if self._dirty:
            viewport = self.viewport()
            self._layout = fitted_layout(len(self.entries), viewport.cols, viewport.rows)
            self.surface.render_grid(grid_cells(self.entries, self._layout, self.camera_for, self.mesh_of),
                                     viewport)
            write_all(self.session.out_fd, cell_texts(self.entries, self._layout, self.selected))
            self.frame_rate.count_frame()
            self._dirty = False
        self.frames += 1
        self.draw_status()

    def camera_for(self, model: Model) -> native.Camera:
        return self.pose.camera(model.up)

    def mesh_of(self, model: Model) -> native.Mesh:
        if self.colours or not model.mesh.has_colors:
            return model.mesh
        key = id(model.mesh)
        if key not in self._plain_meshes:
            self._plain_meshes[key] = model.mesh.without_colors()
        return self._plain_meshes[key]

    def status_text(self, cells: int) -> str:
        if self.alone is None:
            entry = self.entries[self.selected]
            if entry.model is None:
                return fit_to_width(printable(f"{entry.title} | {entry.failure or LOADING}"), cells)
            self.model = entry.model
            self.mesh = self.shown_mesh()
        return super().status_text(cells)

    def apply_action(self, action: Action) -> None:
        count = len(self.entries)
        if action in (Action.NEXT, Action.PREVIOUS) and self.alone is None:
            self.selected = (self.selected + (1 if action is Action.NEXT else -1)) % count
            self._dirty = True
        elif action is Action.SELECT and self.alone is None and self.selected_model() is not None:
            self.show_alone(self.selected)
        elif action is Action.BACK and self.alone is not None:
            self.alone = None
            self.notice = None
            self._size = None  # everything again, the grid's way
            self.session.clear_screen()
            self.surface.clear()
        else:
            super().apply_action(action)

    def show_alone(self, index: int) -> None:
        self.alone = index
        self.model = self.entries[index].model
        self.mesh = self.shown_mesh()
        self.notice = None
        self._size = None
        self.session.clear_screen()
        self.surface.clear()

    def apply_mouse(self, event: MouseEvent) -> None:
        if (self.alone is None and self._layout is not None and event.kind is MouseKind.PRESS
                and event.button == LEFT_BUTTON):
            index = self._layout.index_at(event.col, event.row, len(self.entries))
            if index is not None:
                if index == self.selected and self.entries[index].model is not None:
                    self.show_alone(index)  # a second click opens the picked model
                    return
                self.selected = index
                self._dirty = True
        super().apply_mouse(event)


def draw_contact_sheet(surface, entries: Sequence[Entry], camera_for, cols: int, cell: Tuple[int, int],
                       draw_inline_area) -> None:
    """Every model as a thumbnail of cell (cols, rows) with its name, as many per row as fit
    in cols, like ls for parts. draw_inline_area(size, draw) makes room for one row of
    thumbnails below the text and has draw fill it (see inline.py), so a long sheet scrolls
    as text does."""
    per_row = max(1, min(len(entries), cols // cell[0]))
    for first in range(0, len(entries), per_row):
        row = entries[first:first + per_row]
        for entry in row:
            entry.wait()

        def draw(viewport: native.Viewport, row=row) -> None:
            layout = Layout(per_row, cell[0], cell[1], viewport.col, viewport.row)
            surface.render_grid(grid_cells(row, layout, camera_for), viewport)
            write_all(1, cell_texts(row, layout, None))

        draw_inline_area((len(row) * cell[0], cell[1]), draw)
