"""Shaded 3D triangle meshes in the terminal."""

from ._facetview import Camera, Mesh, Surface, Viewport
from .terminal_query import Capabilities, terminal_capabilities

__all__ = ["Viewport", "Camera", "Mesh", "Surface"]
