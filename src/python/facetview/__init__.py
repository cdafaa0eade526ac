"""Shaded 3D triangle meshes in the terminal."""

from ._arrays import from_arrays as _from_arrays
from ._facetview import Camera, Mesh, OrbitCamera, Viewport
from ._frames import render, save_png
from ._show import show
from .surface import Surface
from .terminal_query import Capabilities, terminal_capabilities

# The native Mesh type cannot read buffers under the stable ABI of Python 3.9,
# so this one constructor is written in Python and joins the class here.
Mesh.from_arrays = staticmethod(_from_arrays)

__all__ = ["Viewport", "Camera", "Mesh", "Surface", "OrbitCamera", "render", "save_png", "show"]
