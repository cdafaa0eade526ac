"""Surface: qualities, framebuffer sizes and what reaches file descriptor 1."""

import gc
import re

import pytest

from conftest import run_python
from facetview import Camera, Mesh, Surface, Viewport

DELETE_ALL = b"\x1b_Ga=d,d=A,q=2\x1b\\"
# Every frame and clear that writes keeps the cursor where it was.
SAVE, RESTORE = b"\x1b7", b"\x1b8"
# Graphics commands and cursor positions, the only bytes a frame may contain.
KITTY_SEQUENCE = re.compile(rb"\x1b_G[^\x1b]*\x1b\\|\x1b\[\d+;\d+H")


@pytest.fixture(autouse=True)
def no_surface_left_alive():
    """Surfaces of earlier tests held in reference cycles (by tracebacks) are gone, so that
    each test's first surface is the first alive and deletes every image."""
    gc.collect()


@pytest.mark.parametrize("name, canonical", [("low", "low"), ("med", "medium"), ("medium", "medium"), ("high", "high"),
                                             ("full", "full")])
def test_quality_names(name, canonical):
    assert repr(Surface()) == 'Surface(quality="medium")'
    text = f'Surface(quality="{canonical}")'
    assert repr(Surface(name)) == repr(Surface(quality=name)) == text
    surface = Surface("low" if canonical == "high" else "high")
    assert surface.set_quality(quality=name) is None and repr(surface) == text


@pytest.mark.parametrize("bad, exception", [(name, ValueError) for name in ["Medium", "HIGH", " low", "", "ultra", "a\0b", "hö"]]
                         + [(5, TypeError), (b"high", TypeError), ("\udc80", UnicodeEncodeError)])
def test_bad_qualities_are_refused_and_the_old_one_stays(bad, exception):
    surface = Surface("low")
    for call in (Surface, surface.set_quality):
        with pytest.raises(exception) as error:
            call(bad)
        assert exception is not ValueError or str(error.value) == f"unknown quality '{bad}', expected low|medium|high|full"
    assert repr(surface) == 'Surface(quality="low")'


# The sizing rules are pinned in the C++ tests; these show the binding passes quality and viewport through.
@pytest.mark.parametrize("quality, cols, rows, size", [
    ("low", 80, 24, (240, 144)), ("medium", 200, 60, (600, 360)), ("high", 200, 60, (800, 480)),
    ("medium", 0, 0, (4, 8)), ("high", 65535, 65535, (65535, 65535)),
])
def test_framebuffer_size(quality, cols, rows, size):
    assert Surface(quality).framebuffer_size(Viewport(3, 5, cols, rows)) == size


# Standard output is no terminal here: full takes the cell size given, else it is high.
@pytest.mark.parametrize("protocol, cell_size, size", [
    ("kitty", (9, 20), (1197, 780)), ("sixel", (9, 20), (1197, 780)), ("kitty", None, (665, 390)),
])
def test_full_quality_has_the_terminals_cells(protocol, cell_size, size):
    surface = Surface("full", protocol=protocol, cell_size=cell_size)
    assert surface.framebuffer_size(Viewport(0, 0, 133, 39)) == size


def test_render_sends_only_what_changed_and_clear_takes_effect_at_once(capfdbinary):
    surface, viewport = Surface("low"), Viewport(2, 1, 20, 6)
    size = surface.render_to_terminal(Mesh.demo(), Camera(), viewport)
    assert size == surface.framebuffer_size(viewport)
    frame = capfdbinary.readouterr().out
    # Other tests' surfaces may be alive, so this one may draw in a range of its own: what
    # the first surface alone writes is pinned in a child process below.
    sequences = KITTY_SEQUENCE.findall(frame[len(SAVE):-len(RESTORE)])
    assert SAVE + b"".join(sequences) + RESTORE == frame and len(sequences) > 1
    # An unchanged frame and a call with a wrong argument write nothing.
    assert surface.render_to_terminal(Mesh.demo(), Camera(), viewport) == size
    with pytest.raises(TypeError, match="^argument 'mesh': "):
        surface.render_to_terminal(Camera(), Camera(), Viewport(0, 0, 4, 4))
    assert capfdbinary.readouterr().out == b""
    assert surface.clear() is None
    cleared = capfdbinary.readouterr().out
    assert cleared.startswith(SAVE + b"\x1b_Ga=d,") and cleared.endswith(RESTORE)
    # The presenter forgot its frame: it is sent again in full.
    surface.render_to_terminal(Mesh.demo(), Camera(), viewport)
    assert capfdbinary.readouterr().out == frame


def test_huge_viewport_raises_memory_error_and_the_surface_stays_usable(capfdbinary):
    surface = Surface("high")
    with pytest.raises(MemoryError):
        surface.render_to_terminal(Mesh.demo(), Camera(), Viewport(0, 0, 65535, 65535))
    assert surface.render_to_terminal(Mesh.demo(), Camera(), Viewport(0, 0, 4, 2)) == (20, 20)
    assert b"a=p," in capfdbinary.readouterr().out


# Nothing waits in the writer between calls, so a forked child that exits has nothing of the
# parent's to write again.
def test_the_only_surface_starts_by_deleting_every_image():
    result = run_python("import facetview as f; f.Surface('low').render_to_terminal("
                        "f.Mesh.demo(), f.Camera(), f.Viewport(2, 1, 20, 6))")
    assert result.returncode == 0 and result.stdout.startswith(SAVE + DELETE_ALL + b"\x1b_Ga=t,q=2,i=1,")
    assert result.stdout.endswith(RESTORE) and result.stdout.count(SAVE) == 1


@pytest.mark.parametrize("code", [
    "import facetview; facetview.Surface().clear()",
    "import os, facetview; facetview.Surface().clear(); pid = os.fork(); pid and os.waitpid(pid, 0)",
])
def test_clear_reaches_fd_1_once(code):
    result = run_python(code)
    assert (result.returncode, result.stderr, result.stdout) == (0, b"", SAVE + DELETE_ALL + RESTORE)


# A frame, then delete-alls: each call sends its bytes and fails on its own.
FAILING_WRITES = """import sys, facetview as f
surface = f.Surface("low")
for attempt in (lambda: surface.render_to_terminal(f.Mesh.demo(), f.Camera(), f.Viewport(0, 0, 8, 4)),
                lambda: [surface.clear() for _ in range(65)]):
    try:
        attempt()
    except RuntimeError as error:
        print(repr(error), error.__cause__, error.__context__, file=sys.stderr)"""


def test_failed_writes_raise_runtime_error():
    with open("/dev/full", "wb") as full:
        result = run_python(FAILING_WRITES, stdout=full)
    expected = "RuntimeError('No space left on device (os error 28)') None None"
    assert (result.returncode, result.stderr.decode().splitlines()) == (0, [expected, expected])


def image_ids(stream):
    return {int(found) for found in re.findall(rb"\x1b_Ga=[tp],q=2,i=(\d+)", stream)}


# The first surface alive deletes every image and draws with ids from 1; a further one, or one
# asking for images of its own, draws in a range of its own and deletes only those, by id.
@pytest.mark.parametrize("first_alive", [True, False])
def test_further_surfaces_keep_to_their_own_images(capfdbinary, first_alive):
    viewport = Viewport(0, 0, 8, 4)  # one tile
    first = Surface("low")
    second = Surface("low") if first_alive else Surface("low", own_images=True)
    if not first_alive:
        del first
    second.render_to_terminal(Mesh.demo(), Camera(), viewport)
    frame = capfdbinary.readouterr().out
    ids = image_ids(frame)
    assert DELETE_ALL not in frame and len(ids) == 1 and min(ids) > 16 << 16
    second.clear()
    own = min(ids)
    assert capfdbinary.readouterr().out == SAVE + b"".join(
        b"\x1b_Ga=d,d=I,q=2,i=%d\x1b\\" % image for image in (own, own + 1)) + RESTORE
