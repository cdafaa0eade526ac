"""Viewport, Camera and Mesh: stored values, reprs and properties."""

import math
import struct

import pytest

from facetview import Camera, Mesh, Viewport


def as_float32(value):
    """The value that a 32-bit float field stores for value."""
    return struct.unpack("f", struct.pack("f", value))[0]


@pytest.mark.parametrize(
    "args, fields, text",
    [
        ((0, 0, 0, 0), (0, 0, 1, 1), "Viewport(col=0, row=0, cols=1, rows=1)"),
        ((3, 4, 80, 24), (3, 4, 80, 24), "Viewport(col=3, row=4, cols=80, rows=24)"),
        ((65535,) * 4, (65535,) * 4, "Viewport(col=65535, row=65535, cols=65535, rows=65535)"),
    ],
)
def test_viewport_fields_and_repr(args, fields, text):
    viewport = Viewport(*args)
    assert (viewport.col, viewport.row, viewport.cols, viewport.rows) == fields
    assert repr(viewport) == text


def test_viewport_takes_keywords():
    viewport = Viewport(rows=4, cols=3, row=2, col=1)
    assert (viewport.col, viewport.row, viewport.cols, viewport.rows) == (1, 2, 3, 4)


@pytest.mark.parametrize(
    "args, kwargs, size",
    [
        ((80, 24), {}, (80, 24)),
        ((80, 24, 2), {}, (80, 22)),
        ((80, 24), {"reserved_bottom_rows": 30}, (80, 1)),
        ((80, 24, 24), {}, (80, 1)),
        ((0, 0), {}, (1, 1)),
        ((), {"cols": 65535, "rows": 65535, "reserved_bottom_rows": 65535}, (65535, 1)),
    ],
)
def test_full_screen(args, kwargs, size):
    viewport = Viewport.full_screen(*args, **kwargs)
    assert (viewport.col, viewport.row, viewport.cols, viewport.rows) == (0, 0) + size


@pytest.mark.parametrize("field", ["col", "row", "cols", "rows"])
def test_viewport_fields_are_read_only(field):
    viewport = Viewport(1, 2, 3, 4)
    with pytest.raises(AttributeError):
        setattr(viewport, field, 9)
    with pytest.raises(AttributeError):
        delattr(viewport, field)
    assert repr(viewport) == "Viewport(col=1, row=2, cols=3, rows=4)"


DEFAULT_TEXT = "Camera(pitch=0.45, yaw=-0.55, roll=0, zoom=1)"


@pytest.mark.parametrize("make", [Camera, Camera.default], ids=["constructor", "default"])
def test_default_camera(make):
    camera = make()
    assert repr(camera) == DEFAULT_TEXT
    assert camera.pitch == 0.44999998807907104
    assert (camera.yaw, camera.roll, camera.zoom) == (as_float32(-0.55), 0.0, 1.0)


@pytest.mark.parametrize(
    "kwargs, text",
    [
        ({"zoom": 2}, "Camera(pitch=0.45, yaw=-0.55, roll=0, zoom=2)"),
        ({"pitch": math.nan}, "Camera(pitch=NaN, yaw=-0.55, roll=0, zoom=1)"),
        ({"roll": -0.0}, "Camera(pitch=0.45, yaw=-0.55, roll=-0, zoom=1)"),
        ({"pitch": 1e39, "yaw": -1e39}, "Camera(pitch=inf, yaw=-inf, roll=0, zoom=1)"),
        ({"zoom": 1e20}, "Camera(pitch=0.45, yaw=-0.55, roll=0, zoom=100000000000000000000)"),
        ({"zoom": 0.1, "roll": 1e-7}, "Camera(pitch=0.45, yaw=-0.55, roll=0.0000001, zoom=0.1)"),
        ({"pitch": 1, "yaw": 2, "roll": 3, "zoom": 4}, "Camera(pitch=1, yaw=2, roll=3, zoom=4)"),
    ],
)
def test_camera_repr(kwargs, text):
    assert repr(Camera(**kwargs)) == text


@pytest.mark.parametrize(
    "value, stored",
    [
        (0.1, as_float32(0.1)),
        (-0.55, as_float32(-0.55)),
        (1e39, math.inf),
        (-1e39, -math.inf),
        (3.4028235e38, 3.4028234663852886e38),  # rounds down to the largest float
        (1e-50, 0.0),
        (math.inf, math.inf),
    ],
)
@pytest.mark.parametrize("field", ["pitch", "yaw", "roll", "zoom"])
def test_camera_stores_nearest_float32(field, value, stored):
    assert getattr(Camera(**{field: value}), field) == stored
    camera = Camera()
    setattr(camera, field, value)
    assert getattr(camera, field) == stored


@pytest.mark.parametrize("field", ["pitch", "yaw", "roll", "zoom"])
def test_camera_setter_failures_keep_the_value(field):
    camera = Camera(**{field: 2.0})
    with pytest.raises(TypeError) as error:
        setattr(camera, field, "x")
    assert str(error.value) == "argument 'value': must be real number, not str"
    with pytest.raises(AttributeError) as error:
        delattr(camera, field)
    assert str(error.value) == "can't delete attribute"
    assert getattr(camera, field) == 2.0


def test_demo_mesh():
    mesh = Mesh.demo()
    assert mesh.name == "demo hull"
    assert mesh.triangle_count == 12
    assert repr(mesh) == 'Mesh(name="demo hull", triangles=12)'
    assert Mesh.demo() is not mesh


@pytest.mark.parametrize("field", ["name", "triangle_count"])
def test_mesh_properties_are_read_only(field):
    mesh = Mesh.demo()
    with pytest.raises(AttributeError):
        setattr(mesh, field, 1)
