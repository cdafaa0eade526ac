"""Surface: qualities, framebuffer sizes and what reaches file descriptor 1."""

import re

import pytest

from conftest import run_python
from facetview import Camera, Mesh, Surface, Viewport

DELETE_ALL = b"\x1b_Ga=d,d=A,q=2\x1b\\"
# Every frame and clear that writes keeps the cursor where it was.
SAVE, RESTORE = b"\x1b7", b"\x1b8"


@pytest.mark.parametrize("name, canonical", [("low", "low"), ("med", "medium"), ("medium", "medium"), ("high", "high"),
                                             ("full", "full")])
def test_quality_names(name, canonical):
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


# The sizing rules are pinned in the C++ tests; these show the binding passes quality, method,
# cell size and viewport through. Standard output is no terminal here: full takes the cell size
# given, else it is high; cell sizes no terminal has are unknown.
@pytest.mark.parametrize("quality, protocol, cell_size, cols, rows, size", [
    ("low", "kitty", None, 80, 24, (240, 144)), ("medium", "kitty", None, 0, 0, (4, 8)),
    ("full", "kitty", None, 133, 39, (665, 390)), ("full", "kitty", (9, 20), 133, 39, (1197, 780)),
    ("low", "sixel", (65535, 65535), 80, 24, (240, 144)), ("low", "sixel", (513, 20), 80, 24, (240, 144)),
])
def test_framebuffer_size(quality, protocol, cell_size, cols, rows, size):
    assert Surface(quality, protocol=protocol, cell_size=cell_size).framebuffer_size(Viewport(3, 5, cols, rows)) == size


def test_huge_viewport_raises_memory_error_and_the_surface_stays_usable(capfdbinary):
    surface = Surface("high")
    with pytest.raises(MemoryError):
        surface.render_to_terminal(Mesh.demo(), Camera(), Viewport(0, 0, 65535, 65535))
    assert surface.render_to_terminal(Mesh.demo(), Camera(), Viewport(0, 0, 4, 2)) == (20, 20)
    assert b"a=p," in capfdbinary.readouterr().out


# The only surface alive deletes every image first, once: nothing waits in the writer between
# calls, so a forked child that exits has nothing of the parent's to write again.
@pytest.mark.parametrize("code, written", [
    ("f.Surface('low').render_to_terminal(f.Mesh.demo(), f.Camera(), f.Viewport(2, 1, 20, 6))",
     re.escape(SAVE + DELETE_ALL) + rb"\x1b_Ga=t,q=2,i=1,(?:(?!\x1b7).)*" + re.escape(RESTORE)),
    ("f.Surface().clear()", re.escape(SAVE + DELETE_ALL + RESTORE)),
    ("f.Surface().clear(); pid = os.fork(); pid and os.waitpid(pid, 0)", re.escape(SAVE + DELETE_ALL + RESTORE)),
])
def test_the_only_surface_deletes_every_image_once(code, written):
    result = run_python("import os, facetview as f; " + code)
    assert (result.returncode, result.stderr) == (0, b"") and re.fullmatch(written, result.stdout, re.S)


def test_failed_writes_raise_runtime_error():
    # A frame, then delete-alls: each call sends its bytes and fails on its own.
    code = ("import sys, facetview as f\ns = f.Surface('low')\n"
            "for attempt in (lambda: s.render_to_terminal(f.Mesh.demo(), f.Camera(), f.Viewport(0, 0, 8, 4)),\n"
            "                lambda: [s.clear() for _ in range(65)]):\n"
            "    try: attempt()\n"
            "    except RuntimeError as e: print(repr(e), e.__cause__, e.__context__, file=sys.stderr)")
    with open("/dev/full", "wb") as full:
        result = run_python(code, stdout=full)
    expected = "RuntimeError('No space left on device (os error 28)') None None"
    assert (result.returncode, result.stderr.decode().splitlines()) == (0, [expected, expected])


# The first surface alive deletes every image and draws with ids from 1; a further one, or one
# asking for images of its own, draws in a range of its own and never deletes every image.
@pytest.mark.parametrize("first_alive", [True, False])
def test_further_surfaces_keep_to_their_own_images(first_alive):
    # In a child of its own: here other tests' surfaces are alive.
    result = run_python("import facetview as f\nfirst = f.Surface('low')\n" + "del first\n" * (not first_alive)
                        + f"f.Surface('low', own_images={not first_alive}).render_to_terminal("
                        + "f.Mesh.demo(), f.Camera(), f.Viewport(0, 0, 8, 4))")  # one tile
    own, *others = {int(found) for found in re.findall(rb"\x1b_Ga=[tp],q=2,i=(\d+)", result.stdout)}
    assert DELETE_ALL not in result.stdout and not others and own > 16 << 16
