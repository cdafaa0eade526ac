"""Shaded 3D triangle meshes in the terminal."""

import os
from typing import Optional, Union

# Surface is typed as the native type, which the package's Surface derives from and
# hands its arguments to.
from ._facetview import (
    Camera as Camera,
    Mesh as Mesh,
    OrbitCamera as OrbitCamera,
    Surface as Surface,
    Viewport as Viewport,
)
from .terminal_query import Capabilities as Capabilities, terminal_capabilities as terminal_capabilities

__all__ = ["Viewport", "Camera", "Mesh", "Surface", "OrbitCamera", "render", "save_png", "show"]

def render(mesh: Mesh, camera: Union[Camera, OrbitCamera], width: int, height: int, *,
           edges: bool = False) -> bytes:
    """The RGBA frame of mesh under camera at width x height pixels.

    Row-major bytes, top row first, 4 per pixel (R, G, B, A): exactly what a Surface draws
    for a viewport of that framebuffer size. No terminal is needed. width and height are
    ints from 1 to 65535 (ValueError naming the side outside that range); MemoryError for a frame
    too large to allocate.
    """

def save_png(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"], mesh: Mesh,
             camera: Union[Camera, OrbitCamera], width: int, height: int, *,
             edges: bool = False) -> None:
    """Writes the frame that render() gives as an 8-bit RGBA PNG file at path.

    RuntimeError "failed to save PNG to " and the path when it cannot be written; the
    reason (an OSError) is its __cause__.
    """

def show(model: Union[Mesh, str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"],
         camera: Optional[Camera] = None, *, cols: Optional[int] = None,
         rows: Optional[int] = None, quality: str = "full", protocol: str = "auto",
         edges: object = None,
         path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", None] = None) -> None:
    """Draws model (a Mesh or a model file's path) at the cursor, in the normal screen, and
    leaves the cursor on the line below the picture; earlier pictures stay.

    As wide as the terminal or cols cells, about square or rows cells high; camera defaults
    to the viewer's first view. quality "full" falls back to "high" where the build lacks
    it. With path, saves the same view as a PNG file instead and needs no terminal.
    OSError when standard output is not a terminal (nothing is written).
    """
