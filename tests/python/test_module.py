"""The module object, its type objects and the traits the four classes share."""

import importlib
import inspect
import shutil
import subprocess
import sys
import sysconfig
import weakref

import pytest

import facetview
from conftest import child_env, run_python
from facetview import Camera, Mesh, OrbitCamera, Surface, Viewport, _facetview

# The package's Surface derives from the native one, to choose the method by asking the terminal.
CLASSES = [Viewport, Camera, Mesh, _facetview.Surface, OrbitCamera]


def test_all_lists_the_classes_in_order():
    assert _facetview.__all__ == ["Viewport", "Camera", "Mesh", "Surface", "OrbitCamera"]
    assert facetview.__all__ == _facetview.__all__ + ["render", "save_png", "show"]
    assert [getattr(_facetview, name) for name in _facetview.__all__] == CLASSES
    assert _facetview.__doc__ == ""
    # Besides the classes, the constants the package shares with the core.
    public = {name for name in dir(_facetview) if not name.startswith("_")}
    assert public == set(_facetview.__all__) | {"ZOOM_RANGE", "QUALITY_NAMES", "KITTY_DELETE_ALL"}
    assert (_facetview.ZOOM_RANGE, _facetview.QUALITY_NAMES["med"]) == ((0.45, 2.5), "medium")


def test_module_is_created_once_per_process():
    del sys.modules["facetview._facetview"]
    assert importlib.import_module("facetview._facetview") is _facetview


SUBINTERPRETER_IMPORT = """import _xxsubinterpreters as interpreters, facetview._facetview
try:
    interpreters.run_string(interpreters.create(), "import sys; sys.path[:] = %r; import facetview._facetview")
except interpreters.RunFailedError as error:
    print("refused:", error)"""


def test_subinterpreter_import_is_refused():
    pytest.importorskip("_xxsubinterpreters")
    result = run_python(SUBINTERPRETER_IMPORT % (sys.path,))
    output = result.stdout.decode()
    assert result.returncode == 0 and output.startswith("refused:") and "ImportError" in output, result
    assert "does not support subinterpreters" in output


# A program that embeds Python, finalises the interpreter and starts a new one: the module of the
# new one must work, rather than hand out the dead module of the old.
EMBEDDING = r"""#include <Python.h>
int main(void) {
  for (int round = 0; round < 2; ++round) {
    Py_Initialize();
    if (PyRun_SimpleString("import facetview as f\n"
                           "print(f.Surface('low'), f.Mesh.demo(), f.Viewport(1, 2, 3, 4))\n") != 0) return 1;
    if (Py_FinalizeEx() != 0) return 2;
  }
  return 0;
}
"""


def test_module_works_in_a_new_interpreter_after_finalisation(tmp_path):
    compiler = shutil.which("cc") or shutil.which("gcc")
    library = sysconfig.get_config_var("LDVERSION")
    if compiler is None or not sysconfig.get_config_var("Py_ENABLE_SHARED"):
        pytest.skip("needs a C compiler and a shared libpython")
    (tmp_path / "embed.c").write_text(EMBEDDING)
    subprocess.run([compiler, str(tmp_path / "embed.c"), "-I" + sysconfig.get_config_var("INCLUDEPY"),
                    "-L" + sysconfig.get_config_var("LIBDIR"), "-lpython" + library, "-o", str(tmp_path / "embed")],
                   check=True)
    result = subprocess.run([str(tmp_path / "embed")], capture_output=True, env=child_env(), check=False)
    line = 'Surface(quality="low") Mesh(name="demo hull", triangles=12) Viewport(col=1, row=2, cols=3, rows=4)\n'
    assert (result.returncode, result.stdout.decode(), result.stderr) == (0, line * 2, b"")


@pytest.mark.parametrize("make, bases", [
    *((make, (object,)) for make in [lambda: Viewport(1, 2, 3, 4), Camera, Mesh.demo, _facetview.Surface, OrbitCamera]),
    (Surface, (_facetview.Surface,)),
], ids=[cls.__name__ for cls in CLASSES] + ["facetview.Surface"])
def test_class_and_instance_traits(make, bases):
    instance = make()
    cls = type(instance)
    assert (cls.__module__, cls.__qualname__, cls.__bases__) == ("builtins", cls.__name__, bases)
    if cls is _facetview.Surface:
        # The package's Surface derives from it: instances of a subclass, with
        # attributes of their own, give back what they hold.
        derived = type("Derived", (cls,), {})
        references = sys.getrefcount(derived)
        for _ in range(3):
            derived("low", protocol="blocks").extra = 1
        assert sys.getrefcount(derived) == references
    else:
        with pytest.raises(TypeError, match=f"type 'builtins.{cls.__name__}' is not an acceptable base type"):
            type("Derived", (cls,), {})
    assert not hasattr(instance, "__dict__")
    with pytest.raises(TypeError):
        weakref.ref(instance)
    with pytest.raises(AttributeError):
        instance.extra = 1
    assert instance == instance and instance != make() and hash(instance) == object.__hash__(instance)


@pytest.mark.parametrize("item, signature, doc", [
    (Viewport, "(col, row, cols, rows)", ""),
    (Camera, "(pitch=0.45, yaw=..., roll=0.0, zoom=1.0)", ""),
    (Mesh, None, None),
    (_facetview.Surface, '(quality="medium", *, protocol="kitty", cell_size=None, max_size=None, colours=None, '
                         'edges=False, own_images=False, true_colour=True)', ""),
    (OrbitCamera, "(target=(0.0, 0.0, 0.0), distance=3.25, pitch=0.45, yaw=..., roll=0.0, *, orthographic=False)",
     ""),
    (Viewport.full_screen, "(cols, rows, reserved_bottom_rows=0)", None), (Camera.default, "()", None),
    (Mesh.demo, "()", None), (Mesh.from_stl, "(path)", None), (Surface.set_quality, "($self, quality)", None),
    (Surface.framebuffer_size, "($self, viewport)", None), (Surface.reduction, "($self, viewport)", None),
    (Surface.render_to_terminal, "($self, mesh, camera, viewport)", None), (Surface.clear, "($self)", None),
    (Camera.zoom, None, None),
])
def test_docstrings_hold_only_the_signature(item, signature, doc):
    assert (getattr(item, "__text_signature__", None), item.__doc__) == (signature, doc)


def test_the_package_surface_shows_the_native_signature_and_docstring():
    assert (inspect.signature(Surface), Surface.__doc__) == (inspect.signature(_facetview.Surface), "")
