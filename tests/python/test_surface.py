"""Surface: qualities, framebuffer sizes and what reaches file descriptor 1."""

import re
import subprocess

import pytest

from facetview import Camera, Mesh, Surface, Viewport

DELETE_ALL = b"\x1b_Ga=d,d=A,q=2\x1b\\"
# Graphics commands and cursor positions, the only bytes a frame may contain.
KITTY_SEQUENCE = re.compile(rb"\x1b_G[^\x1b]*\x1b\\|\x1b\[\d+;\d+H")
ENOSPC_MESSAGE = "No space left on device (os error 28)"


def kitty_sequences(data):
    sequences = KITTY_SEQUENCE.findall(data)
    assert b"".join(sequences) == data, "bytes outside kitty sequences"
    return sequences


class Text(str):
    pass


@pytest.mark.parametrize(
    "args, kwargs, text",
    [
        ((), {}, 'Surface(quality="medium")'),
        (("low",), {}, 'Surface(quality="low")'),
        (("med",), {}, 'Surface(quality="medium")'),
        (("medium",), {}, 'Surface(quality="medium")'),
        ((), {"quality": "high"}, 'Surface(quality="high")'),
        ((Text("high"),), {}, 'Surface(quality="high")'),
    ],
)
def test_quality_names(args, kwargs, text):
    assert repr(Surface(*args, **kwargs)) == text


@pytest.mark.parametrize("name", ["Medium", "HIGH", " low", "low ", "", "ultra", "a\0b", "hö"])
def test_unknown_quality_names(name):
    message = f"unknown quality '{name}', expected low|medium|high"
    with pytest.raises(ValueError) as error:
        Surface(name)
    assert str(error.value) == message
    surface = Surface("low")
    with pytest.raises(ValueError) as error:
        surface.set_quality(name)
    assert str(error.value) == message
    assert repr(surface) == 'Surface(quality="low")'


@pytest.mark.parametrize("bad", [5, b"high", "\udc80"])
def test_set_quality_failures_keep_the_old_quality(bad):
    surface = Surface("high")
    with pytest.raises((TypeError, UnicodeEncodeError)):
        surface.set_quality(bad)
    assert repr(surface) == 'Surface(quality="high")'


def test_set_quality_changes_the_quality():
    surface = Surface()
    assert surface.set_quality("high") is None
    assert repr(surface) == 'Surface(quality="high")'
    surface.set_quality(quality="med")
    assert repr(surface) == 'Surface(quality="medium")'


@pytest.mark.parametrize(
    "quality, cols, rows, size",
    [
        ("low", 80, 24, (240, 144)),
        ("medium", 80, 24, (320, 192)),
        ("high", 80, 24, (400, 240)),
        ("medium", 200, 60, (600, 360)),
        ("high", 200, 60, (800, 480)),
        ("medium", 200, 50, (600, 350)),
        ("low", 160, 50, (320, 250)),
        ("low", 1, 1, (3, 6)),
        ("medium", 0, 0, (4, 8)),
        ("low", 1000, 1000, (1000, 1000)),
        ("high", 65535, 65535, (65535, 65535)),
    ],
)
def test_framebuffer_size(quality, cols, rows, size):
    assert Surface(quality).framebuffer_size(Viewport(3, 5, cols, rows)) == size


def test_render_sends_kitty_sequences_and_nothing_for_an_unchanged_frame(fd1):
    surface = Surface("low")
    viewport = Viewport(2, 1, 20, 6)
    size = surface.render_to_terminal(Mesh.demo(), Camera(), viewport)
    assert size == surface.framebuffer_size(viewport)
    first = fd1.take()
    assert first.startswith(DELETE_ALL)
    assert len(kitty_sequences(first)) > 1
    assert surface.render_to_terminal(Mesh.demo(), Camera(), viewport) == size
    assert fd1.take() == b""


def test_wrong_argument_writes_nothing(fd1):
    with pytest.raises(TypeError, match="^argument 'mesh': "):
        Surface().render_to_terminal(Camera(), Camera(), Viewport(0, 0, 4, 4))
    assert fd1.take() == b""


def test_clear_is_buffered_until_the_next_frame(fd1):
    surface = Surface("low")
    viewport = Viewport(0, 0, 8, 4)
    surface.render_to_terminal(Mesh.demo(), Camera(), viewport)
    frame = fd1.take()
    assert surface.clear() is None
    assert fd1.take() == b""
    # The presenter forgot its frame: the same frame is sent again in full,
    # after the buffered delete-all of clear() and its own.
    surface.render_to_terminal(Mesh.demo(), Camera(), viewport)
    assert fd1.take() == DELETE_ALL + frame


def test_huge_viewport_raises_memory_error_and_the_surface_stays_usable(fd1):
    surface = Surface("high")
    with pytest.raises(MemoryError):
        surface.render_to_terminal(Mesh.demo(), Camera(), Viewport(0, 0, 65535, 65535))
    assert surface.render_to_terminal(Mesh.demo(), Camera(), Viewport(0, 0, 4, 2)) == (20, 20)
    assert DELETE_ALL in fd1.take()


def test_last_clear_is_flushed_at_exit(run_python):
    result = run_python("import facetview; facetview.Surface().clear()")
    assert result.returncode == 0, result.stderr.decode()
    assert result.stdout == DELETE_ALL


FAILING_WRITES = """
import facetview
surface = facetview.Surface("low")
try:
    surface.render_to_terminal(facetview.Mesh.demo(), facetview.Camera(), facetview.Viewport(0, 0, 8, 4))
except RuntimeError as error:
    print(repr(error), error.__cause__, error.__context__, file=__import__("sys").stderr)
# The writer buffers 1024 bytes: the 65th delete-all must empty it first, and fails.
try:
    for _ in range(65):
        surface.clear()
except RuntimeError as error:
    print(repr(error), error.__cause__, error.__context__, file=__import__("sys").stderr)
"""


def test_failed_writes_raise_runtime_error():
    with open("/dev/full", "wb") as full:
        from conftest import run_python

        result = run_python(FAILING_WRITES, stdout=full)
    expected = f"RuntimeError('{ENOSPC_MESSAGE}') None None"
    assert result.returncode == 0, result.stderr.decode()
    assert result.stderr.decode().splitlines() == [expected, expected]
