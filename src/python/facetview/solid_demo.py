"""The viewer's default model: the demo hull wound outwards, so that it looks solid.

Mesh.demo() keeps its historical winding, whose normals point into the hull; the
renderer draws only the faces turned towards the eye, so that hull shows its
open inside. Reversing each triangle turns every face outwards.
"""

from . import _facetview as native

VERTICES = (
    (-0.9, -0.6, -0.6), (0.8, -0.6, -0.6), (0.8, 0.6, -0.6), (-0.9, 0.6, -0.6),
    (-0.6, -0.4, 0.8), (1.0, -0.4, 0.6), (0.7, 0.7, 0.8), (-0.7, 0.8, 0.7),
)
# The demo hull's triangles, each with its corners in reverse order.
OUTWARD_FACES = (
    (2, 1, 0), (3, 2, 0), (5, 6, 4), (6, 7, 4), (5, 4, 0), (1, 5, 0),
    (6, 5, 1), (2, 6, 1), (7, 6, 2), (3, 7, 2), (4, 7, 3), (0, 4, 3),
)


def solid_demo() -> native.Mesh:
    """The demo hull with outward faces, at the demo's own coordinates and name."""
    return native.Mesh.from_arrays(VERTICES, OUTWARD_FACES, name="demo hull", normalize=False)
