"""The viewer's command line: options, refusals and one-line errors."""

import io
import os
import subprocess
import sys
import types
import zipfile

import pytest

from conftest import run_viewer
from facetview import cli, models
from facetview.cli import default_quality, main, parse_arguments

FACET = b"facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"


@pytest.mark.parametrize("args, expected", [
    # The quality is chosen once the terminal has told its cell size (default_quality).
    ([], dict(model=[], frames=None, hold=0.0, fps=30.0, spin=True, quality=None, size=None)),
    (["m.stl", "--frames", "3", "--hold", "1.5", "--fps", "5", "--no-spin", "--yaw", "-2", "--zoom", "2", "--size", "65535X1",
      "--quality", "low"], dict(model=["m.stl"], frames=3, hold=1.5, fps=5.0, spin=False, yaw=-2.0, zoom=2.0, size=(65535, 1), quality="low")),
    ([], dict(up=None, inline=False)),
    # A negative axis after --up is its value, not an option.
    (["--up", "-z", "m.stl", "--inline"], dict(up="-z", model=["m.stl"], inline=True)),
    (["--up=-x", "--", "-y"], dict(up="-x", model=["-y"])),
    (["--up", "x"], dict(up="x")),
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
    (["--zoom", "0.09"], 2, "argument --zoom: expected a number from 0.1 to 100, got '0.09'"),
    (["--zoom", "101"], 2, "argument --zoom: expected a number from 0.1 to 100, got '101'"),
    (["--hold", "-1"], 2, "argument --hold: expected a number from 0 to 86400, got '-1'"),
    (["--hold", "1e300"], 2, "argument --hold: expected a number from 0 to 86400, got '1e300'"),
    (["--fps", "1e-10"], 2, "argument --fps: expected a number from 0.01 to 1000, got '1e-10'"),
    (["--fps", "inf"], 2, "argument --fps: expected a number from 0.01 to 1000, got 'inf'"),
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
    (["notes.txt", "--size", "20x6"], 1,
     'notes.txt: unsupported model format: text beginning "hello, not a model" and the extension .txt'),
    (["bad.obj", "--size", "20x6"], 1, "bad.obj: OBJ line 3: vertex index 3 out of range for 2 vertices"),
    (["--pixels", "8x8"], 2, "--pixels sizes the picture of --output, which is missing"),
    (["--output", "a.png", "--inline"], 2, "--output and --inline draw in different places; choose one"),
    (["--output", "a.png", "--pixels", "0x8"], 2, "argument --pixels: bad pixel size '0x8', width and height must be 1 to 65535"),
    (["--output", "a.png", "--pixels", "8 by 8"], 2,
     "argument --pixels: bad pixel size '8 by 8', expected WIDTHxHEIGHT such as 800x600"),
    (["--output", "no/such/dir/a.png"], 1, "no/such/dir/a.png: No such file or directory"),
    (["--output", "a.png", "--pixels", "65535x65535"], 1, "not enough memory for a picture of 65535x65535 pixels"),
    (["\ud800.stl", "--size", "20x6"], 1, "\\ud800.stl: the file name cannot be encoded"),
    (["empty.stl", "--size", "20x6"], 1, "empty.stl: empty file"),
    (["photo.stl", "--size", "20x6"], 1, "photo.stl: unsupported model format: a JPEG image and the extension .stl"),
    (["--output", "x.jpg"], 2, "--output writes PNG pictures only; name the file with .png, not 'x.jpg'"),
])
def test_bad_input_gets_one_line_and_its_status(tmp_path, monkeypatch, capfd, args, status, message):
    (tmp_path / "text.stl").write_text("hello, not a model\n")
    (tmp_path / "notes.txt").write_text("hello, not a model\n")
    (tmp_path / "bad.obj").write_text("v 0 0 0\nv 1 0 0\nf 1 2 3\n")
    (tmp_path / "empty").mkdir()
    (tmp_path / "empty.stl").write_bytes(b"")
    (tmp_path / "photo.stl").write_bytes(b"\xff\xd8\xff\xe0\0\x10JFIF\0" + bytes(300))
    monkeypatch.chdir(tmp_path)
    assert main(args) == status
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


@pytest.mark.parametrize("name, size, status_line", [
    (None, "80x6", "\x1b[6;1Hdemo hull | 12 triangles | 1.9 × 1.4 × 1.4 | medium | kitty graphics | zoom 1×"),
    # The file's name, not the name inside it, and its size in the file's units.
    ("part.stl", "80x6", "\x1b[6;1Hpart.stl | 1 triangles | 20 × 10 × 0.005 | medium | kitty graphics | zoom 1×"),
    # The status line fits the row: no control sequence from a file name reaches the terminal,
    # wide characters take two cells and combining accents none.
    ("a\x1b[2Jb.stl", "14x3", "\x1b[3;1Ha?[2Jb.stl | "),
    ("\u90e8\u54c1\u30e2\u30c7\u30eb.stl", "14x3", "\x1b[3;1H\u90e8\u54c1\u30e2\u30c7\u30eb.st"),
    ("e\u0301" * 6 + ".stl", "14x3", "\x1b[3;1H" + "e\u0301" * 6 + ".stl | "),
])
def test_size_allows_any_output_and_the_terminal_is_given_back(tmp_path, name, size, status_line):
    model = []
    if name:
        (tmp_path / name).write_bytes(b"solid inner name\nvertex 0 0 0\nvertex 20 0 0.005\nvertex 0 10 0\n")
        model = [str(tmp_path / name)]
    result = run_viewer("--once", "--size", size, *model)
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout.startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J")
    assert result.stdout.endswith(status_line.encode() + b"\x1b[K\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l")


@pytest.mark.parametrize("cause, message", [
    (FileNotFoundError(2, "No such file or directory", "m.stl"), "m.stl: No such file or directory"),
    (PermissionError(13, "Permission denied", "m.stl"), "m.stl: Permission denied"),
    (RuntimeError("invalid float literal"), "m.stl: invalid float literal"),
])
def test_a_load_error_tells_the_reason_the_loader_attached(monkeypatch, capfd, cause, message):
    def load(path):
        raise RuntimeError("failed to load model from m.stl") from cause

    fake = types.SimpleNamespace(Mesh=types.SimpleNamespace(load=load))
    monkeypatch.setattr(models, "native", fake)
    assert main(["m.stl", "--size", "20x6"]) == 1
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


def test_faces_the_reader_skipped_are_told_in_the_status_line(tmp_path):
    (tmp_path / "lines.obj").write_bytes(b"v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nl 1 2\nf 1// 2//\n")
    result = run_viewer("--once", "--size", "100x6", str(tmp_path / "lines.obj"))
    assert (result.returncode, result.stderr) == (0, b"")
    assert b"lines.obj | 1 triangles | 1 \xc3\x97 1 \xc3\x97 0 | skipped 1 face of fewer than three corners | medium" \
        in result.stdout


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


def test_a_model_whose_name_is_not_utf8_loads(tmp_path):
    path = os.path.join(os.fsencode(tmp_path), b"m\xff.stl")
    with open(path, "wb") as model:
        model.write(b"solid named\n" + FACET + b"endsolid\n")
    result = run_viewer("--once", "--size", "40x4", path)
    assert (result.returncode, result.stderr) == (0, b"")
    assert b"m\\xff.stl | 1 triangles" in result.stdout


@pytest.mark.parametrize("args, size", [
    (["--pixels", "64x40"], (64, 40)),
    (["--size", "20x6", "--quality", "high"], (100, 60)),
    ([], (800, 600)),
])
def test_output_draws_the_frame_of_the_starting_camera_into_a_png(tmp_path, args, size):
    from PIL import Image

    import facetview as f
    from facetview.viewer import Pose

    (tmp_path / "part.obj").write_text("v 0 0 0\nv 4 0 0\nv 0 3 0\nv 0 0 2\nf 1 3 2\nf 1 2 4\nf 1 4 3\nf 2 3 4\n")
    # No terminal anywhere: standard input and output are not one.
    result = run_viewer(str(tmp_path / "part.obj"), "--output", str(tmp_path / "part.png"), "--yaw", "0.4", *args)
    assert (result.returncode, result.stdout, result.stderr) == (0, b"", b"")
    camera = Pose(yaw=0.4).camera("z")  # model files stand on +Z
    expected = f.render(f.Mesh.load(tmp_path / "part.obj"), camera, *size)
    with Image.open(tmp_path / "part.png") as image:
        assert (image.size, image.tobytes()) == (size, expected)


TETRAHEDRON = [(0, 0, 0), (4, 0, 0), (0, 3, 0), (0, 0, 2)]
TETRAHEDRON_FACES = [(0, 2, 1), (0, 1, 3), (0, 3, 2), (1, 2, 3)]


def tetrahedron_files():
    """The same solid in every format the viewer reads."""
    from conftest import binary_stl

    triangles = [[TETRAHEDRON[i] for i in face] for face in TETRAHEDRON_FACES]
    numbers = lambda point: " ".join(map(str, point))
    ascii_stl = "solid t\n" + "".join("".join(f"vertex {numbers(p)}\n" for p in t) for t in triangles)
    obj = "".join(f"v {numbers(p)}\n" for p in TETRAHEDRON) + "".join(
        "f " + " ".join(str(i + 1) for i in face) + "\n" for face in TETRAHEDRON_FACES)
    ply = ("ply\nformat ascii 1.0\nelement vertex 4\nproperty float x\nproperty float y\nproperty float z\n"
           "element face 4\nproperty list uchar int vertex_indices\nend_header\n"
           + "".join(f"{numbers(p)}\n" for p in TETRAHEDRON) + "".join(f"3 {numbers(face)}\n" for face in TETRAHEDRON_FACES))
    model = ('<model xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02"><resources><object id="1"><mesh>'
             "<vertices>" + "".join('<vertex x="{}" y="{}" z="{}"/>'.format(*p) for p in TETRAHEDRON) + "</vertices>"
             "<triangles>" + "".join('<triangle v1="{}" v2="{}" v3="{}"/>'.format(*face) for face in TETRAHEDRON_FACES)
             + '</triangles></mesh></object></resources><build><item objectid="1"/></build></model>')
    archive = io.BytesIO()
    with zipfile.ZipFile(archive, "w") as package:
        package.writestr("3D/3dmodel.model", model)
    return {"binary.stl": binary_stl(triangles), "ascii.stl": ascii_stl.encode(), "part.obj": obj.encode(),
            "part.ply": ply.encode(), "part.3mf": archive.getvalue()}


@pytest.mark.parametrize("name", list(tetrahedron_files()))
@pytest.mark.parametrize("pipe", [False, True])
def test_standard_input_gives_the_model_in_any_format(tmp_path, name, pipe):
    from PIL import Image

    import facetview as f
    from facetview.viewer import Pose

    content = tetrahedron_files()[name]
    (tmp_path / name).write_bytes(content)
    command = [sys.executable, "-m", "facetview", "-", "--output", str(tmp_path / "s.png"), "--pixels", "48x32"]
    if pipe:
        result = subprocess.run(command, input=content, capture_output=True, timeout=30, check=False)
    else:
        with open(tmp_path / name, "rb") as redirected:
            result = subprocess.run(command, stdin=redirected, capture_output=True, timeout=30, check=False)
    assert (result.returncode, result.stdout, result.stderr) == (0, b"", b"")
    expected = f.render(f.Mesh.load(tmp_path / name), Pose().camera("z"), 48, 32)
    with Image.open(tmp_path / "s.png") as image:
        assert image.tobytes() == expected


@pytest.mark.parametrize("content, message", [
    (b"", "facetview: standard input: empty file\n"),
    (b"GIF89a" + bytes(40), "facetview: standard input: unsupported model format: a GIF image and no extension\n"),
])
def test_standard_input_that_holds_no_model_says_so(content, message):
    result = subprocess.run([sys.executable, "-m", "facetview", "-", "--size", "20x6", "--once"], input=content,
                            capture_output=True, timeout=30, check=False)
    assert (result.returncode, result.stdout, result.stderr.decode()) == (1, b"", message)


@pytest.mark.parametrize("size, text", [
    ((62.0, 40.0, 12.5), "62 × 40 × 12.5"),
    ((1.9000000476837158, 1.399999976158142, 0.0), "1.9 × 1.4 × 0"),
    ((1234.5678, 0.004, 0.00012345), "1234.57 × 0.004 × 0.000123"),
])
def test_sizes_read_as_a_person_writes_them(size, text):
    from facetview.status import size_text

    assert size_text(size) == text
