"""One frame to a PNG file, for --output: no terminal is involved."""

from __future__ import annotations

import argparse
from typing import Optional, Tuple

from . import _facetview as native
from ._frames import save_png

MAX_PIXELS_SIDE = 65535
# The picture size when neither pixels nor cells are asked for.
DEFAULT_PIXELS = (800, 600)


def parse_pixels(text: str) -> Tuple[int, int]:
    """WIDTHxHEIGHT in pixels, for example 800x600."""
    width, separator, height = text.lower().partition("x")
    if not (separator and width.isdigit() and height.isdigit()):
        raise argparse.ArgumentTypeError(f"bad pixel size '{text}', expected WIDTHxHEIGHT such as 800x600")
    size = int(width), int(height)
    if not all(1 <= value <= MAX_PIXELS_SIDE for value in size):
        raise argparse.ArgumentTypeError(f"bad pixel size '{text}', each side must be 1 to {MAX_PIXELS_SIDE}")
    return size


def output_pixels(pixels: Optional[Tuple[int, int]], cells: Optional[Tuple[int, int]],
                  quality: str) -> Tuple[int, int]:
    """The picture size: the pixels asked for, else what a surface of this quality gives
    a viewport of the cells asked for, else DEFAULT_PIXELS."""
    if pixels is not None:
        return pixels
    if cells is not None:
        return native.Surface(quality).framebuffer_size(native.Viewport.full_screen(*cells))
    return DEFAULT_PIXELS


def write_snapshot(path: str, mesh: native.Mesh, camera: native.Camera, size: Tuple[int, int]) -> None:
    save_png(path, mesh, camera, *size)
