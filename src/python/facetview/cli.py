"""Command line of the viewer: `facetview [MODEL]` or `python -m facetview`."""

from __future__ import annotations

import argparse
import math
import os
import re
import signal
import sys
from contextlib import contextmanager
from functools import partial
from typing import Any, Callable, Iterator, List, Optional, Tuple

from . import _facetview as native
from .inline import draw_inline
from ._frames import save_png
from .models import STANDARD_INPUT, Model, ModelError, failure_reason, open_model, shown_path
from .orientation import UP_AXES
from .signals import DeferredSignals, Terminated, ending_signals_raise
from .surface import Surface, told_arguments
from .terminal import TerminalSession, terminal_size
from .terminal_query import Capabilities, terminal_capabilities, window_cell_size
from .grid import GridViewer, draw_contact_sheet, load_all
from .viewer import ZOOM_RANGE, Pose, Viewer
from .watch import ModelWatcher

PROGRAM = "facetview"
MAX_SIDE = 65535  # viewports count cells, and pictures pixels, in 16 bits
# Far beyond any real screen, well below what the frame's buffers could not hold.
MAX_TOTAL_CELLS = 1 << 22
# The picture --output draws when no size is given.
DEFAULT_PIXELS = (800, 600)
# Limits that keep every wait within what the system's timers take.
FPS_RANGE = (0.01, 1000.0)
MAX_HOLD = 86400.0

EXIT_FAILURE = 1
EXIT_USAGE = 2
EXIT_INTERRUPTED = 128 + signal.SIGINT
PROTOCOLS = ("auto", "kitty", "sixel", "blocks")

class CommandError(Exception):
    """A failure reported in one line after the program name, with an exit status."""

    status = EXIT_FAILURE


class UsageError(CommandError):
    """Bad command line input."""

    status = EXIT_USAGE


class ArgumentParser(argparse.ArgumentParser):
    def error(self, message: str):
        raise UsageError(message)


def parse_pair(text: str, what: str, form: str, example: str, sides: str) -> Tuple[int, int]:
    """Two whole numbers of 1 to MAX_SIDE joined by an x, such as 80x24."""
    first, separator, second = text.lower().partition("x")
    if not (separator and first.isdigit() and second.isdigit()):
        raise argparse.ArgumentTypeError(f"bad {what} '{text}', expected {form} such as {example}")
    pair = int(first), int(second)
    if not all(1 <= value <= MAX_SIDE for value in pair):
        raise argparse.ArgumentTypeError(f"bad {what} '{text}', {sides} must be 1 to {MAX_SIDE}")
    return pair


def parse_size(text: str) -> Tuple[int, int]:
    """COLSxROWS, for example 80x24."""
    size = parse_pair(text, "size", "COLSxROWS", "80x24", "columns and rows")
    if size[0] * size[1] > MAX_TOTAL_CELLS:
        raise argparse.ArgumentTypeError(f"bad size '{text}', at most {MAX_TOTAL_CELLS} cells in all")
    return size


def parse_pixels(text: str) -> Tuple[int, int]:
    """WIDTHxHEIGHT in pixels, for example 800x600."""
    return parse_pair(text, "pixel size", "WIDTHxHEIGHT", "800x600", "width and height")


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
frame_rate = checked(float, lambda value: FPS_RANGE[0] <= value <= FPS_RANGE[1],
                     f"a number from {FPS_RANGE[0]:g} to {FPS_RANGE[1]:g}")
hold_time = checked(float, lambda value: 0 <= value <= MAX_HOLD, f"a number from 0 to {MAX_HOLD:g}")
finite_float = checked(float, math.isfinite, "a number")
zoom_factor = checked(float, lambda value: ZOOM_RANGE[0] <= value <= ZOOM_RANGE[1],
                      f"a number from {ZOOM_RANGE[0]:g} to {ZOOM_RANGE[1]:g}")


def build_parser() -> ArgumentParser:
    default = Pose()
    parser = ArgumentParser(
        prog=PROGRAM,
        description="Show a 3D model (STL, OBJ, PLY or 3MF) spinning in the terminal: with kitty "
        "graphics, sixel images or half-block characters, whichever the terminal shows best; "
        "or draw it into a PNG file.",
        epilog="Keys: arrows or h/j/k/l turn the model (or drag it with the mouse), + and - zoom (or "
        "the wheel, towards the pointer), Shift with the arrows or H/J/K/L move the view (or drag "
        "with the right or middle button, or Shift and the left), f/s/t look from the front, "
        "right side or top (F/S/T from the opposite side), o switches between perspective and "
        "orthographic views, e shows or hides the edges (shown for model files), a the X/Y/Z "
        "axes (red, green, blue), 1-4 pick low/medium/high/full quality, space pauses the "
        "turntable, c turns the file's colours off and on, r goes back to the fitted view; with several "
        "models Tab picks one, Enter shows it alone and Esc goes back; Ctrl-Z suspends, q or Ctrl-C "
        "quits.",
    )
    parser.add_argument("model", nargs="*", metavar="MODEL",
                        help="model file to show: STL, OBJ, PLY or 3MF, or - to read it from "
                        "standard input (keys then come from the terminal) (default: the built-in "
                        "demo hull); several files or a directory show side by side in a grid "
                        "(Tab picks, Enter shows one alone, Esc goes back), or with --inline "
                        "as a contact sheet")
    parser.add_argument("--watch", action=argparse.BooleanOptionalAction, default=None,
                        help="reload the model when its file changes, keeping the camera (default: "
                        "on for one model file in the viewer)")
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
    parser.add_argument("--quality", metavar="{low,medium,high,full}",
                        help="pixels per cell; full takes the terminal's own (default: full where "
                        "the terminal tells its cell size, else medium)")
    parser.add_argument("--protocol", choices=PROTOCOLS, default="auto", metavar="{auto,kitty,sixel,blocks}",
                        help="how to draw: kitty graphics, sixel images or half-block cells; auto asks "
                        "the terminal and takes the first it shows, in that order (default: auto)")
    parser.add_argument("--detect", action="store_true",
                        help="print what the terminal answered and the method auto picks, then exit")
    parser.add_argument("--no-spin", dest="spin", action="store_false",
                        help="start with the turntable paused, so the camera holds still")
    for name in ("pitch", "yaw", "roll"):
        parser.add_argument(f"--{name}", type=finite_float, default=getattr(default, name),
                            metavar="RADIANS",
                            help=f"starting camera {name} (default: %(default)g)")
    parser.add_argument("--zoom", type=zoom_factor, default=default.zoom,
                        help=f"starting magnification of the fitted view, {ZOOM_RANGE[0]:g} to "
                        f"{ZOOM_RANGE[1]:g} (default: %(default)g)")
    parser.add_argument("--no-edges", dest="edges", action="store_false",
                        help="start without the edge lines that model files are shown with (e toggles them)")
    parser.add_argument("--up", choices=UP_AXES, metavar="{z,y,x,-z,-y,-x}",
                        help="the model's axis that points up; the turntable turns about it "
                        "(default: z for model files, as 3D printing and CAD use; y for the demo)")
    parser.add_argument("--size", type=parse_size, metavar="COLSxROWS",
                        help="draw for a terminal of this size instead of asking the terminal; "
                        "also allows an output that is not a terminal")
    parser.add_argument("--output", metavar="FILE.png",
                        help="draw one frame into this PNG file instead of the terminal, which is "
                        "then not needed; sized by --pixels, else by --size in cells at the "
                        f"quality's cell size, else {DEFAULT_PIXELS[0]}x{DEFAULT_PIXELS[1]} pixels")
    parser.add_argument("--pixels", type=parse_pixels, metavar="WIDTHxHEIGHT",
                        help="with --output, the picture's size in pixels")
    parser.add_argument("--inline", action="store_true",
                        help="draw one frame at the cursor in the normal screen and leave it there, "
                        "the cursor below it (as wide as the terminal unless --size is given)")
    return parser


def parse_arguments(argv: Optional[List[str]]) -> argparse.Namespace:
    """The options of argv; in "--up -z" the "-z" is the axis, not an option."""
    remaining = list(sys.argv[1:] if argv is None else argv)
    joined: List[str] = []
    while remaining:
        arg = remaining.pop(0)
        if arg == "--":
            joined += [arg, *remaining]
            break
        if arg == "--up" and remaining and remaining[0] in UP_AXES:
            arg = f"--up={remaining.pop(0)}"
        joined.append(arg)
    return build_parser().parse_args(joined)


MODEL_EXTENSIONS = (".stl", ".obj", ".ply", ".3mf")
# The cell of one thumbnail of a contact sheet: a square picture and its name.
THUMBNAIL_CELL = (24, 11)


def model_paths(names: List[str]) -> List[str]:
    """The files named, a directory standing for its model files in name order."""
    paths = []
    for name in names:
        if os.path.isdir(name):
            found = sorted(entry.path for entry in os.scandir(name)
                           if entry.name.lower().endswith(MODEL_EXTENSIONS) and entry.is_file())
            if not found:
                raise CommandError(f"{shown_path(name)}: no STL, OBJ, PLY or 3MF files in this directory")
            paths += found
        else:
            paths.append(name)
    return paths


def opened_model(args: argparse.Namespace) -> Model:
    try:
        return open_model(args.model, args.up)
    except ModelError as error:
        raise CommandError(str(error)) from None


def model_from_standard_input(args: argparse.Namespace) -> Model:
    """The model that standard input holds; keys then come from the controlling terminal,
    which takes standard input's place (nothing changes where there is none)."""
    if os.isatty(0):
        raise UsageError("- reads the model from standard input, which is a terminal here; "
                         "redirect a file or a pipe into it, such as: facetview - < part.stl")
    model = opened_model(args)
    if args.output is None:
        try:
            terminal = os.open("/dev/tty", os.O_RDWR | os.O_NOCTTY)
        except OSError:
            return model  # no terminal: the viewer runs without keys, as with any other input
        os.dup2(terminal, 0)
        os.close(terminal)
    return model


def check_output_name(path: str) -> None:
    """--output writes PNG, so its file must be named .png."""
    if not path.lower().endswith(".png"):
        raise UsageError(f"--output writes PNG pictures only; name the file with .png, not "
                         f"'{shown_path(path)}'")


def make_surface(quality: str, protocol: str, capabilities: Optional[Capabilities], own_images: bool = False):
    """A surface drawing with protocol, or for "auto" with what detection chose; with
    own_images, its kitty images delete none but its own."""
    if capabilities is not None and protocol == "auto":
        protocol = capabilities.method
    told = {} if capabilities is None else told_arguments(capabilities)
    try:
        return Surface(quality, protocol=protocol, own_images=own_images, **told)
    except ValueError as error:
        raise UsageError(str(error)) from None


def checked_in_tmux(protocol: str) -> Optional[Capabilities]:
    """Inside tmux, the graphics a method named by the user needs: tmux passes no kitty
    graphics on (it makes them the pane's title), and shows sixel only where it announces
    it; the answers of a tmux that was asked, else None. A file or a pipe is no pane."""
    if not (os.environ.get("TMUX") and os.isatty(1)):
        return None
    if protocol == "kitty":
        raise UsageError("--protocol kitty does not work inside tmux, which does not pass kitty "
                         "graphics on; use --protocol blocks, or sixel where tmux shows it (see --detect)")
    if protocol == "sixel":
        capabilities = terminal_capabilities()
        if capabilities.answered and not capabilities.sixel:
            raise UsageError("--protocol sixel: this tmux does not announce sixel, so nothing would be "
                             "seen; use --protocol blocks")
        return capabilities if capabilities.answered else None
    return None


def default_quality(protocol: str, capabilities: Optional[Capabilities]) -> str:
    """The terminal's own pixels ("full") for kitty and sixel where it tells its cell
    size, else "medium"."""
    if capabilities is not None:
        protocol, cell_size = capabilities.method, capabilities.cell_size
    else:
        cell_size = window_cell_size(1) if os.isatty(1) else None
    return "full" if protocol in ("kitty", "sixel") and cell_size else "medium"


def output_pixels(args: argparse.Namespace) -> Tuple[int, int]:
    """The --output picture's size: --pixels, else what a kitty surface of the quality
    gives a viewport of --size cells, else DEFAULT_PIXELS."""
    surface = make_surface(args.quality or "medium", "kitty", None)  # also checks the quality's name
    if args.pixels is not None:
        return args.pixels
    if args.size is not None:
        return surface.framebuffer_size(native.Viewport.full_screen(*args.size))
    return DEFAULT_PIXELS


def write_picture(args: argparse.Namespace, model: Model, start: Pose) -> None:
    """The one frame of --output, into its PNG file; no terminal is involved."""
    width, height = output_pixels(args)
    try:
        save_png(os.fsencode(args.output), model.mesh, start.camera(model.up), width, height)
    except MemoryError:
        raise CommandError(f"not enough memory for a picture of {width}x{height} pixels") from None
    except RuntimeError as error:
        raise CommandError(f"{shown_path(args.output)}: {failure_reason(error)}") from None


def run(args: argparse.Namespace) -> None:
    if args.detect:
        print(terminal_capabilities().describe())
        return
    if args.pixels is not None and args.output is None:
        raise UsageError("--pixels sizes the picture of --output, which is missing")
    if args.output is not None and args.inline:
        raise UsageError("--output and --inline draw in different places; choose one")
    paths = model_paths(args.model)
    many = len(paths) > 1 or any(os.path.isdir(name) for name in args.model)
    args.model = paths[0] if paths else None
    if many and args.output is not None:
        raise UsageError("--output draws one model; give one file")
    if many and args.watch:
        raise UsageError("--watch follows one model file; give one file")
    if args.output is not None:
        check_output_name(args.output)
    start = Pose(args.pitch, args.yaw, args.roll, args.zoom)
    # Standard input is read before the terminal is asked anything: its answers come on
    # the terminal that replaces it.
    from_input = model_from_standard_input(args) if args.model == STANDARD_INPUT else None
    if args.output is not None:
        write_picture(args, from_input if from_input is not None else opened_model(args), start)
        return
    # Asked once, before the screen is taken over: the answers must not reach the viewer as keys.
    capabilities = terminal_capabilities() if args.protocol == "auto" else checked_in_tmux(args.protocol)
    if capabilities is None and args.protocol == "sixel" and os.isatty(0) and os.isatty(1):
        capabilities = terminal_capabilities()  # its cell size and sixel limits
    quality = args.quality or default_quality(args.protocol, capabilities)
    # An inline picture stays beside earlier ones, like printed text.
    surface = make_surface(quality, args.protocol, capabilities, own_images=args.inline)
    if args.size is None and not os.isatty(1):
        raise UsageError("standard output is not a terminal; use --size COLSxROWS to draw anyway")
    in_fd = 0 if os.isatty(0) else None
    if many:
        show_many(args, paths, surface, quality, start, capabilities, in_fd)
        return
    model = from_input if from_input is not None else opened_model(args)
    if args.inline:
        screen = terminal_size(1) if os.isatty(1) else None
        with ending_signals_raise(), out_of_memory_said(args.size or screen):
            draw_inline(surface, model.mesh, start.camera(model.up), args.size, screen, in_fd=in_fd)
        return

    def one_model(session, current_size, signals):
        watcher = ModelWatcher(args.model, args.up) if args.model is not None and args.watch is not False \
            and os.path.isfile(args.model) else None
        surface.edges = args.edges and args.model is not None  # parts read best with their edges
        return Viewer(surface, model, session, current_size, quality=quality,
                      start=start, fps=args.fps, spin=args.spin, signals=signals, watcher=watcher)

    run_full_screen(args, surface, capabilities, in_fd, one_model)


def run_full_screen(args: argparse.Namespace, surface, capabilities: Optional[Capabilities],
                    in_fd: Optional[int], make_viewer) -> None:
    """Takes over the screen and runs the viewer that make_viewer(session, size, signals) builds."""
    current_size = (lambda: args.size) if args.size is not None else partial(terminal_size, 1)
    with ending_signals_raise(), DeferredSignals() as signals, \
            TerminalSession(out_fd=1, in_fd=in_fd, mouse=True,
                            kitty_images=surface.protocol == "kitty") as session:
        viewer = make_viewer(session, current_size, signals)
        if capabilities is not None and in_fd is not None:
            viewer.take_input(capabilities.keystrokes)  # typed while the terminal was asked
        with out_of_memory_said(current_size()):
            viewer.run(frame_limit=args.frames, hold=args.hold)


def show_many(args: argparse.Namespace, paths: List[str], surface, quality: str, start: Pose,
              capabilities: Optional[Capabilities], in_fd: Optional[int]) -> None:
    """Several models: a contact sheet with --inline, else the grid viewer."""
    entries = load_all(paths, args.up)
    if args.inline:
        screen = terminal_size(1) if os.isatty(1) else None
        cols = (args.size or screen or (THUMBNAIL_CELL[0] * 4, 0))[0]

        def draw_area(size, draw):
            draw_inline(surface, None, None, size, screen, in_fd=in_fd, draw=draw)

        with ending_signals_raise(), out_of_memory_said(args.size or screen or THUMBNAIL_CELL):
            draw_contact_sheet(surface, entries, lambda model: start.camera(model.up), cols,
                               THUMBNAIL_CELL, draw_area)
        return
    if args.frames is not None:
        for entry in entries:  # a picture for a script: every model in it
            entry.wait()
    run_full_screen(args, surface, capabilities, in_fd,
                    lambda session, current_size, signals: GridViewer(
                        surface, entries, session, current_size, quality=quality,
                        start=start, fps=args.fps, spin=args.spin, signals=signals))


@contextmanager
def out_of_memory_said(size: Tuple[int, int]) -> Iterator[None]:
    try:
        yield
    except MemoryError:
        cols, rows = size
        raise CommandError(f"not enough memory for a frame of {cols}x{rows} cells") from None


# How the module words a failed write to the terminal: "Bad file descriptor (os error 9)".
OS_ERROR_TEXT = re.compile(r"(.+) \(os error \d+\)")


def plain_message(error: RuntimeError) -> str:
    """The failure in words for the user: a system error of the terminal output without
    its number."""
    text = str(error)
    system = OS_ERROR_TEXT.fullmatch(text)
    return f"terminal input or output failed: {system.group(1)}" if system else text


def fail(message: str, status: int) -> int:
    try:
        sys.stderr.write(f"{PROGRAM}: {message}\n")
        sys.stderr.flush()
    except OSError:
        pass  # no terminal left to tell
    return status


def main(argv: Optional[List[str]] = None) -> int:
    try:
        args = parse_arguments(argv)
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
        return fail(plain_message(error), EXIT_FAILURE)
    except OSError as error:
        return fail(f"terminal input or output failed: {error.strerror or error}", EXIT_FAILURE)
    return 0
