"""show(): one picture at the cursor, for a REPL, a script or a terminal notebook.

The picture is drawn below the text already on screen, as `facetview --inline`
draws it, and stays there like printed text: the cursor ends on the line
below it, and later pictures never delete earlier ones (each show() draws
kitty images with ids of its own).
"""

from __future__ import annotations

import os
import sys
from typing import Optional, Tuple, Union

from . import _facetview as native
from ._frames import save_png
from .inline import default_rows, draw_inline
from .models import FILE_UP
from .orientation import upright_camera_angles
from .surface import Surface
from .terminal import terminal_size

# The best quality there is; builds that do not know it draw at this one instead.
BEST_QUALITY = "full"
FALLBACK_QUALITY = "high"
# Columns of a picture saved with path= and no cols: the quality's cell size decides
# its pixels.
SAVED_COLS = 80

PathLike = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]


def show(
    model: Union[native.Mesh, PathLike],
    camera: Optional[native.Camera] = None,
    *,
    cols: Optional[int] = None,
    rows: Optional[int] = None,
    quality: str = BEST_QUALITY,
    protocol: str = "auto",
    edges=None,
    path: Optional[PathLike] = None,
) -> None:
    """Draws model (a Mesh, or the path of a model file) at the cursor and leaves the
    cursor on the line below the picture.

    The picture is as wide as the terminal, or cols cells, and rows cells high, by
    default about square and at most half the screen. camera defaults to the viewer's
    first view (files stand on their +Z axis). protocol is "auto" (ask the terminal),
    "kitty", "sixel" or "blocks". With path, nothing is drawn: the same view is saved as
    a PNG file of cols x rows cells at the quality's cell size.

    Raises OSError when standard output is not a terminal (nothing is written then).
    """
    mesh = model if isinstance(model, native.Mesh) else native.Mesh.load(model)
    if camera is None:
        camera = _first_view(mesh)
    if path is not None:
        _save(path, mesh, camera, cols, rows, quality)
        return
    if not os.isatty(1):
        raise OSError("show() draws into a terminal, and standard output is not one; "
                      "pass path= to save a PNG file instead")
    surface = _surface(quality, protocol=protocol, own_images=True, edges=edges)
    screen = terminal_size(1)
    size = _picture_size(cols, rows, screen)
    # Text that Python still holds goes first, so that the picture comes after it.
    for stream in (sys.stdout, sys.stderr):
        if stream is not None:
            stream.flush()
    draw_inline(surface, mesh, camera, size, screen, in_fd=0 if os.isatty(0) else None)


def _first_view(mesh: native.Mesh) -> native.Camera:
    """The viewer's first view: a model read from a file stands on its +Z axis."""
    if mesh.source_path is None:
        return native.Camera()
    default = native.Camera()
    angles = upright_camera_angles(default.pitch, default.yaw, default.roll, FILE_UP)
    return native.Camera(*angles, default.zoom)


def _surface(quality: str, **options) -> Surface:
    """A surface of the quality, or of FALLBACK_QUALITY where this build does not know
    BEST_QUALITY; edges go to the surface only when given."""
    if options.get("edges") is None:
        options.pop("edges", None)
    try:
        return Surface(quality, **options)
    except ValueError:
        if quality != BEST_QUALITY:
            raise
        return Surface(FALLBACK_QUALITY, **options)


def _picture_size(cols: Optional[int], rows: Optional[int], screen: Tuple[int, int]) -> Tuple[int, int]:
    """(cols, rows) of the picture: as given, else as wide as the screen and about square."""
    width = screen[0] if cols is None else cols
    height = default_rows(width, screen[1]) if rows is None else rows
    for name, value in (("cols", width), ("rows", height)):
        if value < 1:
            raise ValueError(f"{name} must be at least 1, not {value}")
    return width, height


def _save(path: PathLike, mesh: native.Mesh, camera: native.Camera, cols: Optional[int],
          rows: Optional[int], quality: str) -> None:
    width_cells = SAVED_COLS if cols is None else cols
    # About square, as on screen: a cell is twice as high as wide.
    height_cells = max(1, width_cells // 2) if rows is None else rows
    surface = _surface(quality, protocol="kitty")
    width, height = surface.framebuffer_size(native.Viewport(0, 0, width_cells, height_cells))
    save_png(path, mesh, camera, width, height)
