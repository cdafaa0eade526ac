"""The native module: the four classes, the constants the package shares with the core,
and the private functions behind the package's Mesh.from_arrays, render, save_png and
cursor moves."""

import os
from typing import Union, final

__all__ = ["Viewport", "Camera", "Mesh", "Surface", "OrbitCamera"]

# The (lowest, highest) zoom the renderer honours; others are clamped into it.
ZOOM_RANGE: tuple[float, float]
# Every quality name Surface accepts, aliases such as "med" included, to its canonical name.
QUALITY_NAMES: dict[str, str]
# The kitty graphics command that deletes every image and frees its data.
KITTY_DELETE_ALL: bytes

@final
class Viewport:
    """A rectangle of terminal character cells; never changes after creation."""

    def __new__(cls, col: int, row: int, cols: int, rows: int) -> Viewport:
        """The rectangle whose top-left cell is (col, row), zero-based, of cols x rows cells.

        Each argument is an int from 0 to 65535 (OverflowError outside); cols and rows of 0
        are stored as 1.
        """
    @staticmethod
    def full_screen(cols: int, rows: int, reserved_bottom_rows: int = 0) -> Viewport:
        """The whole screen of cols x rows cells from (0, 0), less reserved_bottom_rows rows
        (at least one column and one row remain)."""
    @property
    def col(self) -> int:
        """Zero-based column of the top-left cell."""
    @property
    def row(self) -> int:
        """Zero-based row of the top-left cell."""
    @property
    def cols(self) -> int:
        """Width in cells, at least 1."""
    @property
    def rows(self) -> int:
        """Height in cells, at least 1."""

@final
class Camera:
    """The view of a model: three rotation angles in radians and a zoom factor, as 32-bit floats."""

    def __new__(
        cls, pitch: float = 0.45, yaw: float = -0.55, roll: float = 0.0, zoom: float = 1.0
    ) -> Camera:
        """A camera; values are stored as given (the renderer clamps zoom to 0.45 ... 2.5)."""
    @staticmethod
    def default() -> Camera:
        """The default camera: pitch 0.45, yaw -0.55, roll 0, zoom 1."""
    pitch: float
    """Rotation about the horizontal axis, radians."""
    yaw: float
    """Rotation about the vertical axis, radians."""
    roll: float
    """Rotation about the viewing axis, radians."""
    zoom: float
    """Magnification; 1 shows a normalized model whole."""

@final
class Mesh:
    """A triangle mesh, never changed after creation; made by the static methods only."""

    @staticmethod
    def demo() -> Mesh:
        """The built-in demo hull of twelve triangles, as built (not normalized)."""
    @staticmethod
    def from_stl(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]) -> Mesh:
        """A binary or ASCII STL file, centred on the origin with its largest side spanning -1 to 1.

        Raises RuntimeError "failed to load STL from " and the path when the file cannot be
        read or decoded; the reason is its __cause__ (an OSError for a file that cannot be
        read).
        """
    @staticmethod
    def load(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]) -> Mesh:
        """A model file, normalized like from_stl: STL, OBJ, PLY or 3MF.

        The format is chosen by the content's signature (a zip archive is 3MF, a "ply" line
        PLY, the binary STL length rule or a leading "solid" STL), else by the extension
        (.stl, .obj, .ply, .3mf in any letter case), else OBJ when the text reads as OBJ
        (so "/dev/stdin" works for every format). OBJ faces may be polygons (taken as
        fans) with v, v/vt, v//vn or v/vt/vn corners and negative indices; PLY may be ASCII
        or binary of either byte order, with any extra elements and properties; 3MF build
        items and components are placed with their transforms. The name is the file's stem
        (STL files may name themselves).

        Raises RuntimeError "failed to load model from " and the path for a file that cannot
        be read, is in no supported format ("unsupported model format" and what the content
        looks like, also for an image or archive whatever its extension; "empty file"), or
        is damaged; the reason is its __cause__. Budgets keep small files small: a model
        may have at most 4 triangles per byte of its file (at least 1048576, at most 50
        million; the environment variable FACETVIEW_MAX_TRIANGLES sets another limit), and a
        pipe or device is read up to 1 GiB (FACETVIEW_MAX_READ_BYTES).
        """
    @staticmethod
    def from_arrays(vertices: object, faces: object = None, *, name: str = "mesh",
                    normalize: bool = True, colors: object = None) -> Mesh:
        """A mesh from an (n, 3) array of float32 or float64 vertices and an (m, 3) array of
        integer faces, or with faces None each three vertices in a row as a triangle.

        Arrays may be numpy arrays, any object with the buffer protocol, or nested
        sequences. Normals follow the winding (counter-clockwise seen from outside). The
        mesh is normalized like from_stl unless normalize is false. TypeError for numbers of
        the wrong kind, ValueError for wrong shapes, NaN or infinite coordinates and negative
        or out-of-range indices. colors: an (n, 3) array of uint8 (0 to 255) or float (0 to
        1) red, green and blue, one row per face (per triangle without faces) or per vertex
        (each triangle then takes the mean of its corners).
        """
    @property
    def name(self) -> str:
        """The model's name."""
    @property
    def triangle_count(self) -> int:
        """The number of triangles."""
    @property
    def size(self) -> tuple[float, float, float]:
        """The model's extents (x, y, z) before normalization, in the file's units."""
    @property
    def source_path(self) -> Union[str, None]:
        """The path the model was loaded from, or None for the demo and array meshes."""
    @property
    def has_colors(self) -> bool:
        """Whether the triangles have colours of their own (from the file or from_arrays)."""
    def without_colors(self) -> Mesh:
        """A copy drawn in the plain shading, without the triangles' own colours."""
    def warnings(self) -> tuple[str, ...]:
        """What the reader left out, one line each (such as faces of fewer than three
        corners); empty for a model read whole."""

class Surface:
    """Draws meshes over a viewport of the terminal: kitty graphics, sixel images or
    half-block characters. The package's Surface derives from it to choose the method
    by asking the terminal."""

    def __new__(
        cls,
        quality: str = "medium",
        *,
        protocol: str = "kitty",
        cell_size: tuple[int, int] | None = None,
        max_size: tuple[int, int] | None = None,
        colours: int | None = None,
        edges: bool = False,
        own_images: bool = False,
        true_colour: bool = True,
    ) -> Surface:
        """A surface of quality "low", "medium" (or "med"), "high" or "full" (the terminal's
        own cell pixels, else high), drawing with protocol ("kitty", "sixel" or "blocks");
        cell_size is the terminal's cell in pixels where the kernel does not tell it (sides
        beyond 512 count as unknown); max_size the largest sixel image the terminal shows and
        colours its colour registers (256 and no limit where not given); true_colour False
        draws half-block cells in the 256-colour palette. With edges, frames carry the mesh's
        creases, borders and silhouette as lines. Rendering and compression use every core
        (FACETVIEW_THREADS=N sets how many) and let other Python threads run. Writes nothing.

        facetview.Surface also takes protocol "auto": the method the terminal answers to
        (asked once per process, see terminal_capabilities()), in the cell size and sixel
        limits it tells, where not given; and its true_colour defaults to what the
        environment announces (COLORTERM truecolor or 24bit, or a TERM ending in -direct).

        The first surface alive draws kitty images with the ids 1, 2, ... and deletes every
        image when it starts afresh or clears; a surface made while another is alive, or with
        own_images set, draws with ids of its own and deletes only those."""
    @property
    def protocol(self) -> str:
        """The way this surface draws."""
    edges: bool
    """Whether frames carry the mesh's edges as lines, from the next frame on."""
    axis_triad: bool
    """Whether frames show the model's X, Y and Z axes (red, green, blue) bottom left."""
    def set_quality(self, quality: str) -> None:
        """Changes the quality from the next frame on; ValueError for an unknown name."""
    def framebuffer_size(self, viewport: Viewport) -> tuple[int, int]:
        """The (width, height) in pixels that a frame over viewport gets at this quality."""
    def reduction(self, viewport: Viewport) -> int:
        """1 where frames fill the viewport; k where the terminal's largest sixel image
        makes them 1/k of its cells across and down, centred in it."""
    def render_to_terminal(
        self, mesh: Mesh, camera: Union[Camera, OrbitCamera], viewport: Viewport
    ) -> tuple[int, int]:
        """Renders one frame and sends what changed to standard output; the cursor ends
        where it was.

        Returns (width, height) of the frame; MemoryError for a frame too large to
        allocate, RuntimeError when the terminal output fails.
        """
    def clear(self) -> None:
        """Deletes what the surface showed from the terminal and forgets the last frame."""

def _mesh_from_arrays(vertices: bytes, vertex_format: str, vertex_item_size: int,
                      faces: Union[bytes, None], face_format: str, face_item_size: int,
                      name: str, normalize: object, colours: Union[bytes, None] = None,
                      colour_format: Union[str, None] = None,
                      colour_item_size: Union[int, None] = None) -> Mesh: ...
@final
class OrbitCamera:
    """A view that orbits a point: the eye looks at target (in the normalized model's
    coordinates) from distance, turned by pitch, yaw and roll as Camera is. Triangles
    reaching the near limit are clipped rather than dropped."""

    def __new__(
        cls,
        target: tuple[float, float, float] = (0.0, 0.0, 0.0),
        distance: float = 3.25,
        pitch: float = 0.45,
        yaw: float = -0.55,
        roll: float = 0.0,
        *,
        orthographic: bool = False,
    ) -> OrbitCamera:
        """An orbit camera; distance is any positive finite number (ValueError otherwise).
        OrbitCamera(distance=3.25 / zoom) draws what Camera(zoom=zoom) does."""
    target: tuple[float, float, float]
    """The point looked at and turned about, as three 32-bit floats."""
    distance: float
    """From the eye to the target."""
    pitch: float
    """Rotation about the horizontal axis, radians."""
    yaw: float
    """Rotation about the vertical axis, radians."""
    roll: float
    """Rotation about the viewing axis, radians."""
    orthographic: bool
    """Parallel projection: what lies at the target's depth keeps the size perspective
    gives it, and distance only places the eye."""

def _render(mesh: Mesh, camera: Union[Camera, OrbitCamera], width: int, height: int,
            edges: object = False) -> bytes: ...
def _save_png(path: Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"], mesh: Mesh,
              camera: Union[Camera, OrbitCamera], width: int, height: int,
              edges: object = False) -> None: ...
def _move_cursor(row: int, col: int) -> bytes:
    """The sequence that moves the cursor to the cell at row, col (each 0 to 65535, from 0),
    as the presenters write it."""
