"""Frames without a terminal: the RGBA pixels that a Surface would show, and PNG files."""

from . import _facetview


def render(mesh, camera, width, height, *, edges=False):
    """The RGBA frame of mesh under camera (a Camera or an OrbitCamera) at
    width x height pixels, as bytes; with edges, the mesh's creases, borders
    and silhouette drawn over it as lines.

    The bytes are row-major, top row first, 4 per pixel (R, G, B, A), exactly
    what a Surface draws for a viewport of that framebuffer size. width and
    height are ints from 1 to 65535 (ValueError for 0); a frame too large to
    allocate raises MemoryError.
    """
    return _facetview._render(mesh, camera, width, height, edges)


def save_png(path, mesh, camera, width, height, *, edges=False):
    """Writes the frame that render() gives as an 8-bit RGBA PNG file at path
    (a str, bytes or path object).

    Raises RuntimeError "failed to save PNG to " and the path when the file
    cannot be written; the reason (an OSError) is its __cause__.
    """
    _facetview._save_png(path, mesh, camera, width, height, edges)
