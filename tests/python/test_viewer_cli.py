"""The viewer's command line: options, refusals and one-line errors."""

import subprocess
import sys

import pytest

from facetview.cli import build_parser, main


@pytest.mark.parametrize("args, expected", [
    ([], dict(model=None, frames=None, hold=0.0, fps=30.0, spin=True, quality="medium", size=None)),
    (["m.stl", "--frames", "3", "--hold", "1.5", "--fps", "5", "--no-spin", "--yaw", "-2", "--zoom", "2", "--size", "65535X1",
      "--quality", "low"], dict(model="m.stl", frames=3, hold=1.5, fps=5.0, spin=False, yaw=-2.0, zoom=2.0, size=(65535, 1), quality="low")),
])
def test_options_reach_the_namespace(args, expected):
    parsed = vars(build_parser().parse_args(args))
    assert {key: parsed[key] for key in expected} == expected


@pytest.mark.parametrize("args, status, message", [
    (["--size", "80by24"], 2, "argument --size: bad size '80by24', expected COLSxROWS such as 80x24"),
    (["--size", "0x24"], 2, "argument --size: bad size '0x24', columns and rows must be 1 to 65535"),
    (["--frames", "2.5"], 2, "argument --frames: expected a whole number of at least 1, got '2.5'"),
    (["--zoom", "0"], 2, "argument --zoom: expected a number greater than zero, got '0'"),
    (["--hold", "-1"], 2, "argument --hold: expected a number of zero or more, got '-1'"),
    (["--pitch", "nan"], 2, "argument --pitch: expected a number, got 'nan'"),
    (["--once", "--frames", "3"], 2, "argument --frames: not allowed with argument --once"),
    (["a.stl", "b.stl"], 2, "unrecognized arguments: b.stl"),
    (["--quality", "ultra"], 2, "unknown quality 'ultra', expected low|medium|high"),
    (["--once"], 2, "standard output is not a terminal; use --size COLSxROWS to draw anyway"),
    (["missing.stl", "--size", "20x6"], 1, "missing.stl: No such file or directory"),
    ([".", "--size", "20x6"], 1, ".: Is a directory"),
    (["text.stl", "--size", "20x6"], 1, "text.stl: not a valid STL file"),
])
def test_bad_input_gets_one_line_and_its_status(tmp_path, monkeypatch, capfd, args, status, message):
    (tmp_path / "text.stl").write_text("hello, not a model\n")
    monkeypatch.chdir(tmp_path)
    assert main(args) == status
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


@pytest.mark.parametrize("name, size, status_line", [
    (None, "60x6", b"\x1b[6;1Hdemo hull | 12 triangles | medium"),
    # The status line fits the row: no control sequence from a file reaches the terminal,
    # wide characters take two cells and combining accents none.
    ("a\x1b[2Jb", "14x3", b"\x1b[3;1Ha?[2Jb | 1 tr"),
    ("\u90e8\u54c1\u30e2\u30c7\u30eb", "14x3", "\x1b[3;1H\u90e8\u54c1\u30e2\u30c7\u30eb | ".encode()),
    ("e\u0301" * 6, "14x3", ("\x1b[3;1H" + "e\u0301" * 6 + " | 1 tr").encode()),
])
def test_size_allows_any_output_and_the_terminal_is_given_back(tmp_path, name, size, status_line):
    facet = b"facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"
    (tmp_path / "m.stl").write_bytes(b"solid " + (name or "").encode() + b"\n" + facet + b"endsolid\n")
    model = [str(tmp_path / "m.stl")] if name else []
    result = subprocess.run([sys.executable, "-m", "facetview", "--once", "--size", size, *model],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout.startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J")
    assert result.stdout.endswith(status_line + b"\x1b[K\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l")
