"""The viewer's command line: options, refusals and one-line errors."""

import subprocess
import sys

import pytest

from facetview.cli import UsageError, build_parser, parse_size


def run_viewer(*args, **kwargs):
    return subprocess.run([sys.executable, "-m", "facetview", *args], stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=30, **kwargs)


@pytest.mark.parametrize("text, size", [("80x24", (80, 24)), ("1X1", (1, 1)), ("65535x2", (65535, 2))])
def test_size_is_parsed(text, size):
    assert parse_size(text) == size


@pytest.mark.parametrize("args", [
    ["--size", "80"], ["--size", "0x24"], ["--size", "80x65536"], ["--size", "-1x5"], ["--size", "axb"],
    ["--frames", "0"], ["--frames", "2.5"], ["--fps", "0"], ["--zoom", "-1"], ["--hold", "-1"],
    ["--pitch", "nan"], ["--once", "--frames", "3"], ["a.stl", "b.stl"], ["--colour"],
])
def test_bad_options_are_usage_errors(args):
    with pytest.raises(UsageError):
        build_parser().parse_args(args)


def test_options_reach_the_namespace():
    args = build_parser().parse_args(
        ["m.stl", "--once", "--hold", "1.5", "--no-spin", "--yaw", "-2", "--zoom", "2", "--size", "30x9"])
    assert (args.model, args.frames, args.hold, args.spin, args.yaw, args.zoom, args.size) == (
        "m.stl", 1, 1.5, False, -2.0, 2.0, (30, 9))
    assert build_parser().parse_args([]).pitch == pytest.approx(0.45)


@pytest.fixture
def bad_files(tmp_path):
    (tmp_path / "empty.stl").write_bytes(b"")
    (tmp_path / "text.stl").write_text("hello, not a model\n")
    return tmp_path


@pytest.mark.parametrize("args, message", [
    (["missing.stl"], "facetview: missing.stl: No such file or directory"),
    (["."], "facetview: .: Is a directory"),
    (["empty.stl/part.stl"], "facetview: empty.stl/part.stl: Not a directory"),
    (["empty.stl"], "facetview: empty.stl: not a valid STL file"),
    (["text.stl"], "facetview: text.stl: not a valid STL file"),
    (["--quality", "ultra"], "facetview: unknown quality 'ultra', expected low|medium|high"),
    (["--size", "80by24"], "facetview: argument --size: bad size '80by24', expected COLSxROWS such as 80x24"),
])
def test_bad_input_gets_one_line_and_nonzero_status(bad_files, args, message):
    result = run_viewer(*args, "--size", "20x6", cwd=bad_files)
    assert result.returncode != 0
    assert result.stderr.decode() == message + "\n"
    assert result.stdout == b""


def test_output_that_is_not_a_terminal_is_refused():
    result = run_viewer("--once")
    assert result.returncode == 2
    assert result.stderr.decode() == (
        "facetview: standard output is not a terminal; use --size COLSxROWS to draw anyway\n")
    assert result.stdout == b""


def test_size_allows_any_output_and_the_terminal_is_cleaned_up():
    result = run_viewer("--once", "--size", "60x6")
    assert (result.returncode, result.stderr) == (0, b"")
    out = result.stdout
    assert out.startswith(b"\x1b[?1049h\x1b[?25l\x1b[2J")
    assert out.endswith(b"\x1b_Ga=d,d=A,q=2\x1b\\\x1b[?25h\x1b[?1049l")
    assert b"\x1b[6;1Hdemo hull | 12 triangles | medium\x1b[K" in out


def test_only_a_turning_model_sends_new_tiles():
    def tiles_sent(*args):
        return run_viewer("--size", "60x6", "--fps", "200", *args).stdout.count(b"\x1b_Ga=t,")
    first_frame = tiles_sent("--once")
    assert tiles_sent("--frames", "4", "--no-spin") == first_frame
    assert tiles_sent("--frames", "4") > first_frame
