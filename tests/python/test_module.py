"""The module object, its type objects and the traits the four classes share."""

import importlib
import inspect
import re
import sys
import weakref

import pytest

import facetview
from facetview import _facetview
from facetview import Camera, Mesh, Surface, Viewport

CLASSES = [Viewport, Camera, Mesh, Surface]
INSTANCES = [
    pytest.param(lambda: Viewport(1, 2, 3, 4), id="Viewport"),
    pytest.param(Camera, id="Camera"),
    pytest.param(Mesh.demo, id="Mesh"),
    pytest.param(Surface, id="Surface"),
]


def test_all_lists_the_classes_in_order():
    assert _facetview.__all__ == ["Viewport", "Camera", "Mesh", "Surface"]
    assert facetview.__all__ == _facetview.__all__
    assert [getattr(_facetview, name) for name in _facetview.__all__] == CLASSES


def test_module_has_empty_docstring_and_no_functions():
    assert _facetview.__doc__ == ""
    public = {name for name in dir(_facetview) if not name.startswith("_")}
    assert public == set(_facetview.__all__)


def test_module_is_created_once_per_process():
    del sys.modules["facetview._facetview"]
    again = importlib.import_module("facetview._facetview")
    assert again is _facetview
    assert again.Viewport is Viewport


SUBINTERPRETER_IMPORT = """
import _xxsubinterpreters as interpreters
import facetview._facetview
interp = interpreters.create()
try:
    interpreters.run_string(interp, "import sys; sys.path[:] = %r; import facetview._facetview")
except interpreters.RunFailedError as error:
    print("refused:", error)
"""


def test_subinterpreter_import_is_refused(run_python):
    pytest.importorskip("_xxsubinterpreters")
    result = run_python(SUBINTERPRETER_IMPORT % (sys.path,))
    assert result.returncode == 0, result.stderr.decode()
    output = result.stdout.decode()
    assert output.startswith("refused:") and "ImportError" in output, output
    assert "does not support subinterpreters" in output


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
def test_class_names_are_in_builtins(cls):
    assert cls.__module__ == "builtins"
    assert cls.__qualname__ == cls.__name__
    assert cls.__bases__ == (object,)


@pytest.mark.parametrize("cls", CLASSES, ids=lambda cls: cls.__name__)
def test_classes_cannot_be_subclassed(cls):
    with pytest.raises(TypeError):
        type("Derived", (cls,), {})


@pytest.mark.parametrize("make", INSTANCES)
def test_instances_have_no_dict_weakrefs_or_new_attributes(make):
    instance = make()
    assert not hasattr(instance, "__dict__")
    with pytest.raises(TypeError):
        weakref.ref(instance)
    with pytest.raises(AttributeError):
        instance.extra = 1


@pytest.mark.parametrize("make", INSTANCES)
def test_equality_and_hash_are_by_identity(make):
    first, second = make(), make()
    assert first == first and first != second
    assert hash(first) == object.__hash__(first)


@pytest.mark.parametrize(
    "cls, signature, doc",
    [
        (Viewport, "(col, row, cols, rows)", ""),
        (Camera, "(pitch=0.45, yaw=..., roll=0.0, zoom=1.0)", ""),
        (Mesh, None, None),
        (Surface, '(quality="medium")', ""),
    ],
)
def test_class_docstrings_hold_only_the_signature(cls, signature, doc):
    assert cls.__text_signature__ == signature
    assert cls.__doc__ == doc


@pytest.mark.parametrize(
    "method, signature",
    [
        (Viewport.full_screen, "(cols, rows, reserved_bottom_rows=0)"),
        (Camera.default, "()"),
        (Mesh.demo, "()"),
        (Mesh.from_stl, "(path)"),
        (Surface.set_quality, "($self, quality)"),
        (Surface.framebuffer_size, "($self, viewport)"),
        (Surface.render_to_terminal, "($self, mesh, camera, viewport)"),
        (Surface.clear, "($self)"),
    ],
)
def test_method_docstrings_hold_only_the_signature(method, signature):
    assert method.__text_signature__ == signature
    assert method.__doc__ is None
    parameters = list(inspect.signature(method).parameters)
    assert parameters == re.findall(r"\$?(\w+)(?:=\w+)?", signature)


@pytest.mark.parametrize(
    "prop",
    [Viewport.col, Viewport.rows, Camera.pitch, Camera.zoom, Mesh.name, Mesh.triangle_count],
    ids=lambda prop: prop.__name__,
)
def test_properties_have_no_docstring(prop):
    assert prop.__doc__ is None


def test_package_reexports_the_extension_classes():
    assert facetview.Viewport is _facetview.Viewport
    assert [getattr(facetview, name) for name in facetview.__all__] == CLASSES
