"""Shaded 3D triangle meshes in the terminal."""

from ._facetview import Camera, Mesh, Surface, Viewport

__all__ = ["Viewport", "Camera", "Mesh", "Surface"]
