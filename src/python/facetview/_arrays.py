"""Mesh.from_arrays: the packing of vertex and face arrays for the native module.

The stable ABI of Python 3.9 has no buffer protocol, so the arrays are read
here, through memoryview, and handed over as bytes with their struct format;
the native side checks the numbers and builds the triangles.
"""

from array import array
from operator import index

from . import _facetview


TEXT_TYPES = (str, bytes, bytearray)


def _number(value, integers):
    """value as an int or a float; text is no number, though float() would read it."""
    if isinstance(value, TEXT_TYPES):
        raise TypeError(f"expected a number, not {type(value).__name__}")
    return index(value) if integers else float(value)


def _packed(rows, what, integers):
    """(bytes, struct format, item size) of an (n, 3) array or sequence of 3-sequences."""
    if isinstance(rows, TEXT_TYPES):
        raise TypeError(f"{what} must be an (n, 3) array or a sequence of 3-sequences of "
                        f"numbers, not {type(rows).__name__}")
    try:
        view = memoryview(rows)
    except TypeError:
        view = None
    if view is not None:
        with view:
            if view.ndim != 2 or view.shape[1] != 3:
                raise ValueError(f"{what} must have the shape (n, 3), not {view.shape}")
            return view.tobytes(), view.format, view.itemsize
    try:
        rows = list(rows)
    except TypeError:
        raise TypeError(f"{what} must be an (n, 3) array or a sequence of 3-sequences, "
                        f"not {type(rows).__name__}") from None
    packed = array("q" if integers else "d")
    for number, row in enumerate(rows):
        try:
            if isinstance(row, TEXT_TYPES):
                raise TypeError(f"expected 3 numbers, not {type(row).__name__}")
            values = [_number(value, integers) for value in row]
        except TypeError as error:
            raise TypeError(f"{what}[{number}]: {error}") from None
        if len(values) != 3:
            raise ValueError(f"{what}[{number}] has {len(values)} values, expected 3")
        packed.extend(values)
    return packed.tobytes(), packed.typecode, packed.itemsize


def from_arrays(vertices, faces=None, *, name="mesh", normalize=True):
    """A Mesh from an (n, 3) array of vertices and an (m, 3) array of faces.

    vertices: float32 or float64 numbers, as a numpy array, any object with the
    buffer protocol, or nested sequences. faces: integer indices into the
    vertices, one row of three per triangle; None takes each three vertices in
    a row as one triangle. Normals follow the winding (counter-clockwise seen
    from outside). The mesh is normalized like Mesh.from_stl unless normalize
    is false; its size is the extent of the vertices as given.

    Raises TypeError for numbers of the wrong kind and ValueError for a wrong
    shape, NaN or infinite coordinates and negative or out-of-range indices.
    """
    vertex_bytes, vertex_format, vertex_size = _packed(vertices, "vertices", integers=False)
    face_bytes, face_format, face_size = (None, "q", 8) if faces is None else _packed(
        faces, "faces", integers=True)
    return _facetview._mesh_from_arrays(vertex_bytes, vertex_format, vertex_size, face_bytes,
                                        face_format, face_size, name, normalize)
