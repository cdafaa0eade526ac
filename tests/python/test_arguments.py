"""Argument matching and conversion: the same rules and messages for every method."""

import pathlib

import pytest

from facetview import Camera, Mesh, Surface, Viewport

RANGE_MESSAGE = "out of range integral type conversion attempted"


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class Real:
    def __float__(self):
        return 2.5


SURFACE = Surface()

MATCHING_FAILURES = [
    # Too many positional arguments.
    (Viewport, (0, 0, 0, 0, 0), {}, "Viewport.__new__() takes 4 positional arguments but 5 were given"),
    (Viewport.full_screen, (1, 2, 3, 4), {}, "Viewport.full_screen() takes from 2 to 3 positional arguments but 4 were given"),
    (Camera, (1, 2, 3, 4, 5), {}, "Camera.__new__() takes from 0 to 4 positional arguments but 5 were given"),
    # Too many positional arguments is reported before a bad keyword.
    (Camera, (1, 2, 3, 4, 5), {"x": 1}, "Camera.__new__() takes from 0 to 4 positional arguments but 5 were given"),
    # Missing required arguments: one, two, three and four names.
    (Viewport, (0, 0, 0), {}, "Viewport.__new__() missing 1 required positional argument: 'rows'"),
    (Viewport, (0, 0), {}, "Viewport.__new__() missing 2 required positional arguments: 'cols' and 'rows'"),
    (Viewport, (0,), {}, "Viewport.__new__() missing 3 required positional arguments: 'row', 'cols', and 'rows'"),
    (Viewport, (), {}, "Viewport.__new__() missing 4 required positional arguments: 'col', 'row', 'cols', and 'rows'"),
    (Viewport, (0,), {"cols": 1}, "Viewport.__new__() missing 2 required positional arguments: 'row' and 'rows'"),
    (Viewport.full_screen, (), {"reserved_bottom_rows": 1}, "Viewport.full_screen() missing 2 required positional arguments: 'cols' and 'rows'"),
    # Unknown keywords, reported before missing arguments.
    (Viewport, (0, 0, 0, 0), {"x": 1}, "Viewport.__new__() got an unexpected keyword argument 'x'"),
    (Viewport, (), {"x": 1}, "Viewport.__new__() got an unexpected keyword argument 'x'"),
    (Camera, (), {"Pitch": 1}, "Camera.__new__() got an unexpected keyword argument 'Pitch'"),
    (Viewport.full_screen, (80, 24), {"reserved": 1}, "Viewport.full_screen() got an unexpected keyword argument 'reserved'"),
    # A parameter given by position and by keyword.
    (Viewport, (0, 0, 0, 0), {"col": 1}, "Viewport.__new__() got multiple values for argument 'col'"),
    (Camera, (0.1,), {"pitch": 1}, "Camera.__new__() got multiple values for argument 'pitch'"),
    (Viewport.full_screen, (80, 24), {"rows": 1}, "Viewport.full_screen() got multiple values for argument 'rows'"),
    (Mesh.from_stl, (), {}, "Mesh.from_stl() missing 1 required positional argument: 'path'"),
    (Mesh.from_stl, ("a.stl", "b.stl"), {}, "Mesh.from_stl() takes 1 positional arguments but 2 were given"),
    (Mesh.from_stl, (), {"file": "a.stl"}, "Mesh.from_stl() got an unexpected keyword argument 'file'"),
    # The same rules for the methods of Surface.
    (Surface, ("low", "high"), {}, "Surface.__new__() takes from 0 to 1 positional arguments but 2 were given"),
    (Surface, (), {"level": "low"}, "Surface.__new__() got an unexpected keyword argument 'level'"),
    (Surface, ("low",), {"quality": "low"}, "Surface.__new__() got multiple values for argument 'quality'"),
    (SURFACE.set_quality, (), {}, "Surface.set_quality() missing 1 required positional argument: 'quality'"),
    (SURFACE.set_quality, ("low", "high"), {}, "Surface.set_quality() takes 1 positional arguments but 2 were given"),
    (SURFACE.framebuffer_size, (), {}, "Surface.framebuffer_size() missing 1 required positional argument: 'viewport'"),
    (SURFACE.framebuffer_size, (1,), {"viewport": 1}, "Surface.framebuffer_size() got multiple values for argument 'viewport'"),
    (SURFACE.render_to_terminal, (1, 2, 3, 4), {}, "Surface.render_to_terminal() takes 3 positional arguments but 4 were given"),
    (SURFACE.render_to_terminal, (1,), {}, "Surface.render_to_terminal() missing 2 required positional arguments: 'camera' and 'viewport'"),
    (SURFACE.render_to_terminal, (), {"mesh": 1, "view": 2}, "Surface.render_to_terminal() got an unexpected keyword argument 'view'"),
]


@pytest.mark.parametrize("call, args, kwargs, message", MATCHING_FAILURES)
def test_matching_failures(call, args, kwargs, message):
    with pytest.raises(TypeError) as error:
        call(*args, **kwargs)
    assert str(error.value) == message


CONVERSION_FAILURES = [
    (Viewport, (0.5, 0, 0, 0), {}, TypeError, "argument 'col': 'float' object cannot be interpreted as an integer"),
    (Viewport, (0, 0, 0, "4"), {}, TypeError, "argument 'rows': 'str' object cannot be interpreted as an integer"),
    (Viewport.full_screen, (80, 24), {"reserved_bottom_rows": None}, TypeError, "argument 'reserved_bottom_rows': 'NoneType' object cannot be interpreted as an integer"),
    (Camera, ("x",), {}, TypeError, "argument 'pitch': must be real number, not str"),
    (Camera, (), {"zoom": None}, TypeError, "argument 'zoom': must be real number, not NoneType"),
    (Camera, (), {"roll": [1.0]}, TypeError, "argument 'roll': must be real number, not list"),
    # Conversion runs in parameter order; the first failure wins.
    (Viewport, ("a", 0.5, 0, 0), {}, TypeError, "argument 'col': 'str' object cannot be interpreted as an integer"),
    (Viewport, (0, -1, "x", 0), {}, OverflowError, RANGE_MESSAGE),
    (Camera, (), {"zoom": "z", "yaw": "y"}, TypeError, "argument 'yaw': must be real number, not str"),
    # Text and class arguments.
    (Mesh.from_stl, (pathlib.Path("a.stl"),), {}, TypeError, "argument 'path': 'PosixPath' object cannot be converted to 'PyString'"),
    (Surface, (3,), {}, TypeError, "argument 'quality': 'int' object cannot be converted to 'PyString'"),
    (Surface, (b"low",), {}, TypeError, "argument 'quality': 'bytes' object cannot be converted to 'PyString'"),
    (SURFACE.set_quality, (None,), {}, TypeError, "argument 'quality': 'NoneType' object cannot be converted to 'PyString'"),
    (Surface, ("low\udc80",), {}, UnicodeEncodeError, "'utf-8' codec can't encode character '\\udc80' in position 3: surrogates not allowed"),
    (SURFACE.framebuffer_size, ("x",), {}, TypeError, "argument 'viewport': 'str' object cannot be converted to 'Viewport'"),
    (SURFACE.render_to_terminal, (Camera(), Camera(), Viewport(0, 0, 1, 1)), {}, TypeError, "argument 'mesh': 'Camera' object cannot be converted to 'Mesh'"),
    (SURFACE.render_to_terminal, (Mesh.demo(), Mesh.demo(), None), {}, TypeError, "argument 'camera': 'Mesh' object cannot be converted to 'Camera'"),
    (SURFACE.render_to_terminal, (Mesh.demo(), Camera(), None), {}, TypeError, "argument 'viewport': 'NoneType' object cannot be converted to 'Viewport'"),
]


@pytest.mark.parametrize("call, args, kwargs, exception, message", CONVERSION_FAILURES)
def test_conversion_failures(call, args, kwargs, exception, message):
    with pytest.raises(exception) as error:
        call(*args, **kwargs)
    assert type(error.value) is exception
    assert str(error.value) == message


@pytest.mark.parametrize("position", range(4))
@pytest.mark.parametrize("value", [-1, 65536, -(2**40)])
def test_out_of_range_integers(position, value):
    args = [0, 0, 0, 0]
    args[position] = value
    with pytest.raises(OverflowError) as error:
        Viewport(*args)
    assert str(error.value) == RANGE_MESSAGE


@pytest.mark.parametrize("value", [2**63, -(2**63) - 1, 2**100])
def test_integers_beyond_64_bits_raise_the_interpreters_overflow_error(value):
    with pytest.raises(OverflowError) as error:
        Viewport(value, 0, 0, 0)
    assert str(error.value) not in (RANGE_MESSAGE, "")
    assert "argument" not in str(error.value)


@pytest.mark.parametrize(
    "value, stored", [(True, 1), (False, 0), (Index(7), 7), (Index(65535), 65535), (2**16 - 1, 65535)]
)
def test_index_objects_convert_to_integers(value, stored):
    assert Viewport(value, 0, 0, 0).col == stored


@pytest.mark.parametrize("value, stored", [(3, 3.0), (True, 1.0), (Real(), 2.5), (Index(4), 4.0)])
def test_real_objects_convert_to_floats(value, stored):
    assert Camera(zoom=value).zoom == stored


@pytest.mark.parametrize(
    "call", [Mesh.demo, Camera.default, SURFACE.clear], ids=lambda call: call.__qualname__
)
@pytest.mark.parametrize("args, kwargs", [((1,), {}), ((), {"x": 1})])
def test_methods_without_parameters_refuse_arguments(call, args, kwargs):
    with pytest.raises(TypeError, match=r"takes no (keyword )?arguments"):
        call(*args, **kwargs)


def test_mesh_has_no_constructor():
    with pytest.raises(TypeError) as error:
        Mesh()
    assert str(error.value) == "No constructor defined for Mesh"
