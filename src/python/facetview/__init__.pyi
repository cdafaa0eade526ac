"""Shaded 3D triangle meshes in the terminal."""

import os
from typing import Union

from ._facetview import (
    Camera as Camera,
    Mesh as Mesh,
    OrbitCamera as OrbitCamera,
    Surface as Surface,
    Viewport as Viewport,
)

__all__ = ["Viewport", "Camera", "Mesh", "Surface", "OrbitCamera", "render", "save_png"]

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
