"""Shaded 3D triangle meshes in the terminal."""
