"""The viewer's command line: options, refusals and one-line errors."""

import os
import subprocess
import sys
import types

import pytest

from facetview import models
from facetview.cli import main, parse_arguments

FACET = b"facet normal 0 0 0\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\nendfacet\n"


@pytest.mark.parametrize("args, expected", [
    ([], dict(model=None, frames=None, hold=0.0, fps=30.0, spin=True, quality="medium", size=None)),
    (["m.stl", "--frames", "3", "--hold", "1.5", "--fps", "5", "--no-spin", "--yaw", "-2", "--zoom", "2", "--size", "65535X1",
      "--quality", "low"], dict(model="m.stl", frames=3, hold=1.5, fps=5.0, spin=False, yaw=-2.0, zoom=2.0, size=(65535, 1), quality="low")),
    ([], dict(up=None, inline=False)),
    # A negative axis after --up is its value, not an option.
    (["--up", "-z", "m.stl", "--inline"], dict(up="-z", model="m.stl", inline=True)),
    (["--up=-x", "--", "-y"], dict(up="-x", model="-y")),
    (["--up", "x"], dict(up="x")),
])
def test_options_reach_the_namespace(args, expected):
    parsed = vars(parse_arguments(args))
    assert {key: parsed[key] for key in expected} == expected


@pytest.mark.parametrize("args, status, message", [
    (["--size", "80by24"], 2, "argument --size: bad size '80by24', expected COLSxROWS such as 80x24"),
    (["--size", "0x24"], 2, "argument --size: bad size '0x24', columns and rows must be 1 to 65535"),
    (["--frames", "2.5"], 2, "argument --frames: expected a whole number of at least 1, got '2.5'"),
    (["--zoom", "0"], 2, "argument --zoom: expected a number greater than zero, got '0'"),
    (["--hold", "-1"], 2, "argument --hold: expected a number from 0 to 86400, got '-1'"),
    (["--hold", "1e300"], 2, "argument --hold: expected a number from 0 to 86400, got '1e300'"),
    (["--fps", "1e-10"], 2, "argument --fps: expected a number from 0.01 to 1000, got '1e-10'"),
    (["--fps", "inf"], 2, "argument --fps: expected a number from 0.01 to 1000, got 'inf'"),
    (["--size", "60000x60000"], 2, "argument --size: bad size '60000x60000', at most 4194304 cells in all"),
    (["--pitch", "nan"], 2, "argument --pitch: expected a number, got 'nan'"),
    (["--up", "w"], 2, "argument --up: invalid choice: 'w' (choose from 'z', 'y', 'x', '-z', '-y', '-x')"),
    (["--up", "-w"], 2, "argument --up: expected one argument"),
    (["--once", "--frames", "3"], 2, "argument --frames: not allowed with argument --once"),
    (["a.stl", "b.stl"], 2, "unrecognized arguments: b.stl"),
    (["--quality", "ultra"], 2, "unknown quality 'ultra', expected low|medium|high"),
    (["--once"], 2, "standard output is not a terminal; use --size COLSxROWS to draw anyway"),
    (["missing.stl", "--size", "20x6"], 1, "missing.stl: No such file or directory"),
    ([".", "--size", "20x6"], 1, ".: Is a directory"),
    (["text.stl", "--size", "20x6"], 1, "text.stl: failed to parse STL triangles from ASCII source"),
    (["\ud800.stl", "--size", "20x6"], 1, "\\ud800.stl: the file name cannot be encoded"),
])
def test_bad_input_gets_one_line_and_its_status(tmp_path, monkeypatch, capfd, args, status, message):
    (tmp_path / "text.stl").write_text("hello, not a model\n")
    monkeypatch.chdir(tmp_path)
    assert main(args) == status
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


@pytest.mark.parametrize("name, size, status_line", [
    (None, "60x6", b"\x1b[6;1Hdemo hull | 12 triangles | medium | kitty graphics"),
    # The status line fits the row: no control sequence from a file reaches the terminal,
    # wide characters take two cells and combining accents none.
    ("a\x1b[2Jb", "14x3", b"\x1b[3;1Ha?[2Jb | 1 tr"),
    ("\u90e8\u54c1\u30e2\u30c7\u30eb", "14x3", "\x1b[3;1H\u90e8\u54c1\u30e2\u30c7\u30eb | ".encode()),
    ("e\u0301" * 6, "14x3", ("\x1b[3;1H" + "e\u0301" * 6 + " | 1 tr").encode()),
])
def test_size_allows_any_output_and_the_terminal_is_given_back(tmp_path, name, size, status_line):
    (tmp_path / "m.stl").write_bytes(b"solid " + (name or "").encode() + b"\n" + FACET + b"endsolid\n")
    model = [str(tmp_path / "m.stl")] if name else []
    result = subprocess.run([sys.executable, "-m", "facetview", "--once", "--size", size, *model],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    assert (result.returncode, result.stderr) == (0, b"")
    assert result.stdout.startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J")
    assert result.stdout.endswith(status_line + b"\x1b[K\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l")


@pytest.mark.parametrize("cause, message", [
    (FileNotFoundError(2, "No such file or directory", "m.stl"), "m.stl: No such file or directory"),
    (PermissionError(13, "Permission denied", "m.stl"), "m.stl: Permission denied"),
    (RuntimeError("invalid float literal"), "m.stl: invalid float literal"),
])
def test_a_load_error_tells_the_reason_the_loader_attached(monkeypatch, capfd, cause, message):
    def from_stl(path):
        raise RuntimeError("failed to load STL from m.stl") from cause

    fake = types.SimpleNamespace(Mesh=types.SimpleNamespace(from_stl=from_stl))
    monkeypatch.setattr(models, "native", fake)
    assert main(["m.stl", "--size", "20x6"]) == 1
    assert capfd.readouterr() == ("", f"facetview: {message}\n")


def test_a_model_whose_name_is_not_utf8_loads(tmp_path):
    path = os.path.join(os.fsencode(tmp_path), b"m\xff.stl")
    with open(path, "wb") as model:
        model.write(b"solid named\n" + FACET + b"endsolid\n")
    result = subprocess.run([sys.executable, "-m", "facetview", "--once", "--size", "40x4", path],
                            stdin=subprocess.DEVNULL, capture_output=True, timeout=30)
    assert (result.returncode, result.stderr) == (0, b"")
    assert b"named | 1 triangles" in result.stdout
