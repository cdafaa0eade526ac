"""The viewer's command line: options, refusals and one-line errors."""

import os
import types

import pytest

from conftest import model_files, run_viewer
from facetview import cli
from facetview.cli import default_quality, main, parse_arguments


@pytest.mark.parametrize("args, expected", [
    # The quality is chosen once the terminal has told its cell size (default_quality).
    ([], dict(model=[], frames=None, hold=0.0, fps=30.0, spin=True, quality=None, size=None, up=None, inline=False)),
    (["m.stl", "--frames", "3", "--hold", "1.5", "--fps", "5", "--no-spin", "--yaw", "-2", "--zoom", "2", "--size", "65535X1",
      "--quality", "low"], dict(model=["m.stl"], frames=3, hold=1.5, fps=5.0, spin=False, yaw=-2.0, zoom=2.0, size=(65535, 1), quality="low")),
    # A negative axis after --up is its value, not an option.
    (["--up", "-z", "m.stl", "--inline"], dict(up="-z", model=["m.stl"], inline=True)),
    (["--up=-x", "--", "-y"], dict(up="-x", model=["-y"])),
])
def test_options_reach_the_namespace(args, expected):
    parsed = vars(parse_arguments(args))
    assert {key: parsed[key] for key in expected} == expected


# The terminal's own pixels for the pixel methods wherever its cell size is known.
@pytest.mark.parametrize("method, cell_size, quality", [
    ("kitty", (9, 20), "full"), ("sixel", (10, 20), "full"), ("kitty", None, "medium"), ("blocks", (9, 20), "medium"),
])
def test_default_quality(method, cell_size, quality):
    answers = types.SimpleNamespace(method=method, cell_size=cell_size)
    assert default_quality("auto", answers) == quality


@pytest.mark.parametrize("args, status, message", [
    (["--size", "80by24"], 2, "argument --size: bad size '80by24', expected COLSxROWS such as 80x24"),
    (["--size", "0x24"], 2, "argument --size: bad size '0x24', columns and rows must be 1 to 65535"),
    (["--frames", "2.5"], 2, "argument --frames: expected a whole number of at least 1, got '2.5'"),
    *[([option, value], 2, f"argument {option}: expected a number from {bounds}, got '{value}'")
      for option, bounds, values in [("--zoom", "0.1 to 100", ["0.09", "101"]),
                                     ("--hold", "0 to 86400", ["-1", "1e300"]),
                                     ("--fps", "0.01 to 1000", ["1e-10", "inf"])] for value in values],
    (["--size", "60000x60000"], 2, "argument --size: bad size '60000x60000', at most 4194304 cells in all"),
    (["--pitch", "nan"], 2, "argument --pitch: expected a number, got 'nan'"),
    (["--up", "w"], 2, "argument --up: invalid choice: 'w' (choose from 'z', 'y', 'x', '-z', '-y', '-x')"),
    (["--up", "-w"], 2, "argument --up: expected one argument"),
    (["--once", "--frames", "3"], 2, "argument --frames: not allowed with argument --once"),
    (["a.stl", "b.stl", "--output", "a.png"], 2, "--output draws one model; give one file"),
    (["a.stl", "b.stl", "--watch"], 2, "--watch follows one model file; give one file"),
    (["--quality", "ultra"], 2, "unknown quality 'ultra', expected low|medium|high|full"),
    (["--once"], 2, "standard output is not a terminal; use --size COLSxROWS to draw anyway"),
    (["missing.stl", "--size", "20x6"], 1, "missing.stl: No such file or directory"),
    (["empty", "--size", "20x6"], 1, "empty: no STL, OBJ, PLY or 3MF files in this directory"),
    (["text.stl", "--size", "20x6"], 1, "text.stl: failed to parse STL triangles from ASCII source"),
    (["bad.obj", "--size", "20x6"], 1, "bad.obj: OBJ line 3: vertex index 3 out of range for 2 vertices"),
    (["--pixels", "8x8"], 2, "--pixels sizes the picture of --output, which is missing"),
    (["--output", "a.png", "--inline"], 2, "--output and --inline draw in different places; choose one"),
    (["--output", "a.png", "--pixels", "0x8"], 2, "argument --pixels: bad pixel size '0x8', width and height must be 1 to 65535"),
    (["--output", "a.png", "--pixels", "8 by 8"], 2,
     "argument --pixels: bad pixel size '8 by 8', expected WIDTHxHEIGHT such as 800x600"),
    (["--output", "no/such/dir/a.png"], 1, "no/such/dir/a.png: No such file or directory"),
    (["--output", "a.png", "--pixels", "65535x65535"], 1, "not enough memory for a picture of 65535x65535 pixels"),
    (["\ud800.stl", "--size", "20x6"], 1, "\\ud800.stl: the file name cannot be encoded"),
    (["--output", "x.jpg"], 2, "--output writes PNG pictures only; name the file with .png, not 'x.jpg'"),
])
def test_bad_input_gets_one_line_and_its_status(tmp_path, monkeypatch, capfd, args, status, message):
    (tmp_path / "text.stl").write_text("hello, not a model\n")
    (tmp_path / "bad.obj").write_text("v 0 0 0\nv 1 0 0\nf 1 2 3\n")
    (tmp_path / "empty").mkdir()
    monkeypatch.chdir(tmp_path)
    assert main(args) == status
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


# What the status line's model shows comes from the file: its name, not the name inside it,
# its size in the file's units and the faces its reader skipped.
CONTENTS = {".stl": b"solid inner name\nvertex 0 0 0\nvertex 1234.5678 0 0.00012345\nvertex 0 0.004 0\n",
            ".obj": b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nl 1 2\nf 1// 2//\n"}


@pytest.mark.parametrize("name, size, status_line", [
    # Two decimals at most from 1 up, three significant digits below.
    ("part.stl", "90x6",
     "\x1b[6;1Hpart.stl | 1 triangles | 1234.57 × 0.004 × 0.000123 | medium | kitty graphics | zoom 1×"),
    ("lines.obj", "100x4", "\x1b[4;1Hlines.obj | 1 triangles | 1 × 1 × 0 | skipped 1 face of fewer than three corners"
     " | medium | kitty g"),
    # The status line fits the row: no control sequence from a file name reaches the terminal,
    # wide characters take two cells and combining accents none; a name not in UTF-8 shows its bytes.
    ("a\x1b[2Jb.stl", "14x3", "\x1b[3;1Ha?[2Jb.stl | "),
    ("\u90e8\u54c1\u30e2\u30c7\u30eb.stl", "14x3", "\x1b[3;1H\u90e8\u54c1\u30e2\u30c7\u30eb.st"),
    ("e\u0301" * 6 + ".stl", "14x3", "\x1b[3;1H" + "e\u0301" * 6 + ".stl | "),
    (b"m\xff.stl", "19x3", "\x1b[3;1Hm\\xff.stl | 1 tria"),
])
def test_size_allows_any_output_and_the_terminal_is_given_back(tmp_path, name, size, status_line):
    path = os.path.join(os.fsencode(tmp_path), os.fsencode(name))
    with open(path, "wb") as file:
        file.write(CONTENTS[os.path.splitext(path)[1].decode()])
    result = run_viewer("--once", "--size", size, path)
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout.startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J")
    assert result.stdout.endswith(status_line.encode() + b"\x1b[K\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l")


@pytest.mark.parametrize("failure, message", [
    (RuntimeError("Broken pipe (os error 32)"), "terminal input or output failed: Broken pipe"),
    (OSError(28, "No space left on device"), "terminal input or output failed: No space left on device"),
    (RuntimeError("framebuffer size 3x6 does not fit"), "framebuffer size 3x6 does not fit"),
])
def test_failures_of_the_terminal_read_plainly(monkeypatch, capfd, failure, message):
    def run(args):
        raise failure

    monkeypatch.setattr(cli, "run", run)
    assert main(["--once"]) == 1
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


TETRAHEDRON = model_files([(0, 0, 0), (4, 0, 0), (0, 3, 0), (0, 0, 2)], [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)])


@pytest.mark.parametrize("name, source, args, size", [
    # From standard input, a pipe or a redirected file, in any format.
    *[(name, "pipe", ["--pixels", "48x32"], (48, 32)) for name in TETRAHEDRON],
    ("binary.stl", "redirect", ["--pixels", "48x32"], (48, 32)),
    ("part.obj", "path", ["--size", "20x6", "--quality", "high"], (100, 60)),
    ("part.obj", "path", [], (800, 600)),
])
def test_output_draws_the_frame_of_the_starting_camera_into_a_png(tmp_path, name, source, args, size):
    from PIL import Image

    import facetview as f
    from facetview.viewer import Pose

    content = TETRAHEDRON[name]
    (tmp_path / name).write_bytes(content)
    # No terminal anywhere: standard input and output are not one.
    with open(tmp_path / name, "rb") if source == "redirect" else open(os.devnull, "rb") as stdin:
        result = run_viewer(str(tmp_path / name) if source == "path" else "-", "--output", str(tmp_path / "s.png"),
                            "--yaw", "0.4", *args, input=content if source == "pipe" else None, stdin=stdin)
    assert (result.returncode, result.stdout, result.stderr) == (0, b"", b"")
    expected = f.render(f.Mesh.load(tmp_path / name), Pose(yaw=0.4).camera("z"), *size)  # model files stand on +Z
    with Image.open(tmp_path / "s.png") as image:
        assert (image.size, image.tobytes()) == (size, expected)


@pytest.mark.parametrize("content, message", [
    (b"", "facetview: standard input: empty file\n"),
    (b"GIF89a" + bytes(40), "facetview: standard input: unsupported model format: a GIF image and no extension\n"),
])
def test_standard_input_that_holds_no_model_says_so(content, message):
    result = run_viewer("-", "--size", "20x6", "--once", input=content)
    assert (result.returncode, result.stdout, result.stderr.decode()) == (1, b"", message)

