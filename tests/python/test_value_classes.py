"""Viewport and Camera: stored values, reprs and properties."""

import math
import struct

import pytest

from facetview import Camera, Viewport

FLOAT_MAX = 3.4028234663852886e38


def as_float32(value):
    return struct.unpack("f", struct.pack("f", value))[0]


def fields(viewport):
    return viewport.col, viewport.row, viewport.cols, viewport.rows


@pytest.mark.parametrize("make, args, kwargs, stored", [
    (Viewport, (0, 0, 0, 0), {}, (0, 0, 1, 1)),
    (Viewport, (3, 4), {"rows": 24, "cols": 80}, (3, 4, 80, 24)),
    (Viewport, (65535,) * 4, {}, (65535,) * 4),
    (Viewport.full_screen, (80, 24), {}, (0, 0, 80, 24)), (Viewport.full_screen, (80, 24, 2), {}, (0, 0, 80, 22)),
    (Viewport.full_screen, (80, 24), {"reserved_bottom_rows": 30}, (0, 0, 80, 1)),
    (Viewport.full_screen, (0, 0), {}, (0, 0, 1, 1)),
    (Viewport.full_screen, (), {"cols": 65535, "rows": 65535, "reserved_bottom_rows": 65535}, (0, 0, 65535, 1)),
])
def test_viewport_fields_and_repr(make, args, kwargs, stored):
    viewport = make(*args, **kwargs)
    assert fields(viewport) == stored
    assert repr(viewport) == "Viewport(col={}, row={}, cols={}, rows={})".format(*stored)
    with pytest.raises(AttributeError):
        viewport.cols = 9
    assert fields(viewport) == stored


def test_default_camera_and_reprs():
    for camera in (Camera(), Camera.default()):
        assert repr(camera) == "Camera(pitch=0.45, yaw=-0.55, roll=0, zoom=1)"
        assert (camera.pitch, camera.yaw, camera.roll, camera.zoom) == (0.44999998807907104, as_float32(-0.55), 0.0, 1.0)


@pytest.mark.parametrize("value, stored", [
    (0.1, as_float32(0.1)), (-0.0, -0.0), (1e39, math.inf), (-1e39, -math.inf), (1e-50, 0.0), (3.4028235e38, FLOAT_MAX),
    (float.fromhex("0x1.fffffefp127"), FLOAT_MAX),  # past the largest float, still nearer to it
    (float.fromhex("0x1.ffffffp127"), math.inf),  # halfway to 2**128: ties go to even, inf
])
@pytest.mark.parametrize("field", ["pitch", "yaw", "roll", "zoom"])
def test_camera_stores_nearest_float32_and_keeps_it(field, value, stored):
    camera = Camera()
    setattr(camera, field, value)
    assert repr(getattr(camera, field)) == repr(getattr(Camera(**{field: value}), field)) == repr(stored)
    with pytest.raises(TypeError, match=r"^argument 'value': must be real number, not str$"):
        setattr(camera, field, "x")
    with pytest.raises(AttributeError, match="^can't delete attribute$"):
        delattr(camera, field)
    assert repr(getattr(camera, field)) == repr(stored)
    # A number that reads the camera it is being stored into: converted before the camera is borrowed.
    camera = Camera(zoom=2.0)
    setattr(camera, field, type("Twice", (), {"__float__": lambda self: camera.zoom * 2})())
    assert getattr(camera, field) == 4.0

