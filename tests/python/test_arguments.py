"""Argument matching and conversion: the same rules and messages for every method."""

import math

import pytest

from facetview import Camera, Mesh, OrbitCamera, Surface, Viewport, _facetview, render

RANGE_MESSAGE = "out of range integral type conversion attempted"
SURFACE = Surface()
DISTANCE, TARGET = "distance must be a positive finite number", "argument 'target': expected a sequence of 3 numbers"
NUMBER = type("Number", (), {"__index__": lambda self: 7, "__float__": lambda self: 2.5})()


MATCHING_FAILURES = [
    # Too many positional arguments, for fixed and optional counts; reported before a bad keyword.
    (Viewport, (0, 0, 0, 0, 0), {}, "Viewport.__new__() takes 4 positional arguments but 5 were given"),
    (Viewport.full_screen, (1, 2, 3, 4), {}, "Viewport.full_screen() takes from 2 to 3 positional arguments but 4 were given"),
    (Camera, (1, 2, 3, 4, 5), {"x": 1}, "Camera.__new__() takes from 0 to 4 positional arguments but 5 were given"),
    (Mesh.from_stl, ("a.stl", "b.stl"), {}, "Mesh.from_stl() takes 1 positional arguments but 2 were given"),
    (Mesh, (), {}, "No constructor defined for Mesh"),
    # Missing required arguments: one, two, three and four names.
    (Viewport, (0, 0, 0), {}, "Viewport.__new__() missing 1 required positional argument: 'rows'"),
    (Viewport, (0, 0), {}, "Viewport.__new__() missing 2 required positional arguments: 'cols' and 'rows'"),
    (Viewport, (0,), {}, "Viewport.__new__() missing 3 required positional arguments: 'row', 'cols', and 'rows'"),
    (Viewport, (), {}, "Viewport.__new__() missing 4 required positional arguments: 'col', 'row', 'cols', and 'rows'"),
    (Viewport, (0,), {"cols": 1}, "Viewport.__new__() missing 2 required positional arguments: 'row' and 'rows'"),
    (Viewport.full_screen, (), {"reserved_bottom_rows": 1}, "Viewport.full_screen() missing 2 required positional arguments: 'cols' and 'rows'"),
    (SURFACE.render_to_terminal, (1,), {}, "Surface.render_to_terminal() missing 2 required positional arguments: 'camera' and 'viewport'"),
    # Unknown keywords, reported before missing arguments.
    (Viewport, (), {"x": 1}, "Viewport.__new__() got an unexpected keyword argument 'x'"),
    (Camera, (), {"Pitch": 1}, "Camera.__new__() got an unexpected keyword argument 'Pitch'"),
    (SURFACE.render_to_terminal, (), {"mesh": 1, "view": 2}, "Surface.render_to_terminal() got an unexpected keyword argument 'view'"),
    # A parameter given by position and by keyword.
    (Viewport, (0, 0, 0, 0), {"col": 1}, "Viewport.__new__() got multiple values for argument 'col'"),
    (Camera, (0.1,), {"pitch": 1}, "Camera.__new__() got multiple values for argument 'pitch'"),
    (Surface, ("low",), {"quality": "low"}, "Surface.__new__() got multiple values for argument 'quality'"),
]


CONVERSION_FAILURES = [
    (Viewport, (0.5, 0, 0, 0), {}, TypeError, "argument 'col': 'float' object cannot be interpreted as an integer"),
    (Viewport.full_screen, (80, 24), {"reserved_bottom_rows": None}, TypeError, "argument 'reserved_bottom_rows': 'NoneType' object cannot be interpreted as an integer"),
    (Camera, ("x",), {}, TypeError, "argument 'pitch': must be real number, not str"),
    (Viewport, (-1, 0, 0, 0), {}, OverflowError, RANGE_MESSAGE),
    (Viewport, (0, 0, 0, 65536), {}, OverflowError, RANGE_MESSAGE),
    (Viewport.full_screen, (80, 24, -(2**40)), {}, OverflowError, RANGE_MESSAGE),
    # Beyond the signed 64-bit range: the interpreter's own message.
    (Viewport, (2**63, 0, 0, 0), {}, OverflowError, None),
    (Viewport, (0, 0, -(2**63) - 1, 0), {}, OverflowError, None),
    # Conversion runs in parameter order; the first failure wins.
    (Viewport, (0, -1, "x", 0), {}, OverflowError, RANGE_MESSAGE),
    (Camera, (), {"zoom": "z", "yaw": "y"}, TypeError, "argument 'yaw': must be real number, not str"),
    (Mesh.from_stl, (bytearray(b"a.stl"),), {}, TypeError, "argument 'path': 'bytearray' object cannot be converted to 'PyString'"),
    (Surface, (b"low",), {}, TypeError, "argument 'quality': 'bytes' object cannot be converted to 'PyString'"),
    (Surface, ("low\udc80",), {}, UnicodeEncodeError, "'utf-8' codec can't encode character '\\udc80' in position 3: surrogates not allowed"),
    (Mesh.from_stl, ("model\ud800.stl",), {}, UnicodeEncodeError, "'utf-8' codec can't encode character '\\ud800' in position 5: surrogates not allowed"),
    (SURFACE.framebuffer_size, ("x",), {}, TypeError, "argument 'viewport': 'str' object cannot be converted to 'Viewport'"),
    (SURFACE.render_to_terminal, (Camera(), Camera(), Viewport(0, 0, 1, 1)), {}, TypeError, "argument 'mesh': 'Camera' object cannot be converted to 'Mesh'"),
    (SURFACE.render_to_terminal, (Mesh.demo(), Camera(), None), {}, TypeError, "argument 'viewport': 'NoneType' object cannot be converted to 'Viewport'"),
]

# The surface's and the orbit camera's own arguments: the values they refuse and why.
VALUE_FAILURES = [
    (Surface, ("low", "blocks"), {}, TypeError, "Surface.__new__() takes from 0 to 1 positional arguments but 2 were given"),
    (Surface, (), dict(protocol="Kitty"), ValueError, "unknown protocol 'Kitty', expected auto|kitty|sixel|blocks"),
    (Surface, (), dict(protocol=3), TypeError, None),
    # The native type leaves "auto" to the package.
    (_facetview.Surface, (), dict(protocol="auto"), ValueError,
     "protocol 'auto' is resolved by facetview.Surface, which asks the terminal"),
    (Surface, (), dict(cell_size=(0, 20)), ValueError, "cell size must be at least 1x1 pixels"),
    (Surface, (), dict(cell_size=[10, 20]), TypeError, "argument 'cell_size': expected a tuple (width, height)"),
    (Surface, (), dict(cell_size=(10, -1)), OverflowError, RANGE_MESSAGE),
    (Surface, (), dict(max_size=(1000, 0)), ValueError, "max_size must be at least 1x1 pixels"),
    (Surface, (), dict(colours=0), ValueError, "colours must be at least 1"),
    *((OrbitCamera, (), dict(distance=d), ValueError, DISTANCE) for d in (0, math.inf, math.nan)),
    *((OrbitCamera, (), dict(target=t), TypeError, TARGET) for t in ((1, 2), "abc", 5)),
    (OrbitCamera, (), dict(target=(1, "x", 3)), TypeError, "argument 'target': must be real number, not str"),
    (OrbitCamera, ((0, 0, 0), 1, 0, 0, 0, True), {}, TypeError,
     "OrbitCamera.__new__() takes from 0 to 5 positional arguments but 6 were given"),
    (OrbitCamera, (), dict(zoom=2), TypeError, "OrbitCamera.__new__() got an unexpected keyword argument 'zoom'"),
    (render, (Mesh.demo(), "camera", 10, 10), {}, TypeError,
     "argument 'camera': 'str' object cannot be converted to 'Camera'"),
]


@pytest.mark.parametrize("call, args, kwargs, exception, message",
                         [(c, a, k, TypeError, m) for c, a, k, m in MATCHING_FAILURES] + CONVERSION_FAILURES
                         + VALUE_FAILURES)
def test_matching_and_conversion_failures(call, args, kwargs, exception, message):
    with pytest.raises(exception) as error:
        call(*args, **kwargs)
    assert type(error.value) is exception
    assert str(error.value) == message if message else str(error.value) not in ("", RANGE_MESSAGE)


def test_index_and_float_objects_are_converted():
    viewport = Viewport(True, NUMBER, 65535, False)
    assert (viewport.col, viewport.row, viewport.cols, viewport.rows) == (1, 7, 65535, 1)
    assert (Camera(NUMBER).pitch, Camera(zoom=3).zoom) == (2.5, 3.0)
    assert repr(Surface(type("Text", (str,), {})("high"))) == 'Surface(quality="high")'


@pytest.mark.parametrize("call", [Mesh.demo, Camera.default, SURFACE.clear], ids=lambda call: call.__qualname__)
def test_methods_without_parameters_refuse_arguments(call):
    for args, kwargs in [((1,), {}), ((), {"x": 1})]:
        with pytest.raises(TypeError, match=r"takes no (keyword )?arguments"):
            call(*args, **kwargs)
