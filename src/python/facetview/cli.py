"""Command line of the viewer: `facetview [MODEL.stl]` or `python -m facetview`."""

from __future__ import annotations

import argparse
import math
import os
import signal
import sys
from functools import partial
from typing import Any, Callable, List, Optional, Tuple

from . import _facetview as native
from .models import ModelError, open_model
from .signals import DeferredSignals, Terminated, ending_signals_raise
from .terminal import TerminalSession, terminal_size
from .viewer import Pose, Viewer

PROGRAM = "facetview"
MAX_CELLS = 65535  # viewports count cells in 16 bits
# Far beyond any real screen, well below what the frame's buffers could not hold.
MAX_TOTAL_CELLS = 1 << 22
# Limits that keep every wait within what the system's timers take.
FPS_RANGE = (0.01, 1000.0)
MAX_HOLD = 86400.0

EXIT_FAILURE = 1
EXIT_USAGE = 2
EXIT_INTERRUPTED = 128 + signal.SIGINT

class CommandError(Exception):
    """A failure reported in one line after the program name, with an exit status."""

    status = EXIT_FAILURE


class UsageError(CommandError):
    """Bad command line input."""

    status = EXIT_USAGE


class ArgumentParser(argparse.ArgumentParser):
    def error(self, message: str):
        raise UsageError(message)


def parse_size(text: str) -> Tuple[int, int]:
    """COLSxROWS, for example 80x24."""
    cols, separator, rows = text.lower().partition("x")
    if not (separator and cols.isdigit() and rows.isdigit()):
        raise argparse.ArgumentTypeError(f"bad size '{text}', expected COLSxROWS such as 80x24")
    size = int(cols), int(rows)
    if not all(1 <= value <= MAX_CELLS for value in size):
        raise argparse.ArgumentTypeError(f"bad size '{text}', columns and rows must be 1 to {MAX_CELLS}")
    if size[0] * size[1] > MAX_TOTAL_CELLS:
        raise argparse.ArgumentTypeError(f"bad size '{text}', at most {MAX_TOTAL_CELLS} cells in all")
    return size


def checked(convert: Callable[[str], Any], accept: Callable[[Any], bool], expected: str):
    """An option type: converts the text, then accepts the value or says what was expected."""

    def parse(text: str):
        try:
            value = convert(text)
        except ValueError:
            value = None
        if value is None or not accept(value):
            raise argparse.ArgumentTypeError(f"expected {expected}, got '{text}'")
        return value

    return parse


positive_int = checked(int, lambda value: value >= 1, "a whole number of at least 1")
positive_float = checked(float, lambda value: 0 < value < math.inf, "a number greater than zero")
frame_rate = checked(float, lambda value: FPS_RANGE[0] <= value <= FPS_RANGE[1],
                     f"a number from {FPS_RANGE[0]:g} to {FPS_RANGE[1]:g}")
hold_time = checked(float, lambda value: 0 <= value <= MAX_HOLD, f"a number from 0 to {MAX_HOLD:g}")
finite_float = checked(float, math.isfinite, "a number")


def build_parser() -> ArgumentParser:
    default = Pose()
    parser = ArgumentParser(
        prog=PROGRAM,
        description="Show a 3D model (binary or ASCII STL) spinning in a terminal that "
        "speaks the kitty graphics protocol.",
        epilog="Keys: arrows or h/j/k/l turn the model, + and - zoom, 1/2/3 pick low/medium/high "
        "quality, space pauses the turntable, r resets the camera, Ctrl-Z suspends, q or Ctrl-C quits.",
    )
    parser.add_argument("model", nargs="?", metavar="MODEL.stl",
                        help="STL file to show (default: the built-in demo hull)")
    frames = parser.add_mutually_exclusive_group()
    frames.add_argument("--frames", type=positive_int, metavar="N",
                        help="render N frames, then exit")
    frames.add_argument("--once", action="store_const", const=1, dest="frames",
                        help="render one frame, then exit (same as --frames 1)")
    parser.add_argument("--hold", type=hold_time, default=0.0, metavar="SECONDS",
                        help="with --frames or --once, keep the last frame on screen this long "
                        "before cleaning up (default: 0)")
    parser.add_argument("--fps", type=frame_rate, default=30.0,
                        help="frames per second to aim for (default: %(default)g)")
    parser.add_argument("--quality", default="medium", metavar="{low,medium,high}",
                        help="pixels per cell (default: %(default)s)")
    parser.add_argument("--no-spin", dest="spin", action="store_false",
                        help="start with the turntable paused, so the camera holds still")
    for name in ("pitch", "yaw", "roll"):
        parser.add_argument(f"--{name}", type=finite_float, default=getattr(default, name),
                            metavar="RADIANS",
                            help=f"starting camera {name} (default: %(default)g)")
    parser.add_argument("--zoom", type=positive_float, default=default.zoom,
                        help="starting camera zoom, 0.45 to 2.5 takes effect (default: %(default)g)")
    parser.add_argument("--size", type=parse_size, metavar="COLSxROWS",
                        help="draw for a terminal of this size instead of asking the terminal; "
                        "also allows an output that is not a terminal")
    return parser


def make_surface(quality: str):
    try:
        return native.Surface(quality)
    except ValueError as error:
        raise UsageError(str(error)) from None


def run(args: argparse.Namespace) -> None:
    surface = make_surface(args.quality)
    if args.size is None and not os.isatty(1):
        raise UsageError("standard output is not a terminal; use --size COLSxROWS to draw anyway")
    try:
        model = open_model(args.model)
    except ModelError as error:
        raise CommandError(str(error)) from None
    current_size = (lambda: args.size) if args.size is not None else partial(terminal_size, 1)
    in_fd = 0 if os.isatty(0) else None
    start = Pose(args.pitch, args.yaw, args.roll, args.zoom)
    with ending_signals_raise(), DeferredSignals() as signals, \
            TerminalSession(out_fd=1, in_fd=in_fd) as session:
        viewer = Viewer(surface, model.mesh, session, current_size, quality=args.quality,
                        start=start, fps=args.fps, spin=args.spin, signals=signals)
        try:
            viewer.run(frame_limit=args.frames, hold=args.hold)
        except MemoryError:
            cols, rows = viewer.terminal_size()
            raise CommandError(f"not enough memory for a frame of {cols}x{rows} cells") from None


def fail(message: str, status: int) -> int:
    try:
        sys.stderr.write(f"{PROGRAM}: {message}\n")
        sys.stderr.flush()
    except OSError:
        pass  # no terminal left to tell
    return status


def main(argv: Optional[List[str]] = None) -> int:
    try:
        args = build_parser().parse_args(argv)
        run(args)
    except CommandError as error:
        return fail(str(error), error.status)
    except KeyboardInterrupt:
        return EXIT_INTERRUPTED
    except Terminated as ending:
        # Die of the signal, as the sender expects, now that the terminal is back.
        signal.signal(ending.signum, signal.SIG_DFL)
        os.kill(os.getpid(), ending.signum)
        return 128 + ending.signum
    except RuntimeError as error:
        return fail(str(error), EXIT_FAILURE)
    except OSError as error:
        return fail(f"terminal input or output failed: {error.strerror or error}", EXIT_FAILURE)
    return 0
