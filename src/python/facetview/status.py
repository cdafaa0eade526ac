"""The viewer's status line: named fields in a fixed order, cut to the terminal's width."""

from __future__ import annotations

import unicodedata
from typing import Optional, Sequence, Tuple

SEPARATOR = " | "
# How the status line names each way of drawing.
METHOD_NAMES = {"kitty": "kitty graphics", "sixel": "sixel", "blocks": "half-blocks"}
HELP_GAP = "   "


def printable(text: str) -> str:
    """Text safe to put on the screen: a model name may hold control characters."""
    return "".join(char if char.isprintable() else "?" for char in text)


def fit_to_width(text: str, cells: int) -> str:
    """The longest start of text that takes at most this many terminal cells.

    Wide (East Asian) characters take two cells and combining marks none.
    """
    used = 0
    for index, char in enumerate(text):
        if unicodedata.combining(char):
            continue
        used += 2 if unicodedata.east_asian_width(char) in "WF" else 1
        if used > cells:
            return text[:index]
    return text


def size_text(size: Tuple[float, float, float]) -> str:
    """Extents for a person: "62 × 40 × 12.5"; two decimals at most, no trailing zeros,
    and three significant digits below 1."""
    return " × ".join(f"{extent:.2f}".rstrip("0").rstrip(".") if extent >= 1 else f"{extent:.3g}"
                      for extent in size)


def status_line(
    cells: int,
    *,
    name: str,
    triangles: int,
    size: Optional[Tuple[float, float, float]] = None,
    quality: str,
    method: Optional[str] = None,
    reduction: int = 1,
    paused: bool = False,
    fps: Optional[float] = None,
    help_text: Optional[str] = None,
    zoom: Optional[float] = None,
    orthographic: bool = False,
    warnings: Sequence[str] = (),
) -> str:
    """The status text for a row of this many cells.

    Fields that are None are left out; the help text is added only when it
    fits whole, and the rest is cut to the width. Warnings of the model's reader
    (such as skipped faces) follow its size. A reduction above 1 (the
    terminal's largest image is smaller than the viewport) follows the method
    as the share of the viewport drawn, such as "sixel at 1/2 size".
    """
    fields = [printable(name), f"{triangles} triangles"]
    if size is not None:
        fields.append(size_text(size))
    fields += [printable(warning) for warning in warnings]
    fields.append(quality)
    if method is not None:
        shown = METHOD_NAMES.get(method, method)
        fields.append(shown if reduction <= 1 else f"{shown} at 1/{reduction} size")
    if zoom is not None:
        fields.append(f"zoom {zoom:.3g}×")
    if orthographic:
        fields.append("ortho")
    if paused:
        fields.append("paused")
    elif fps is not None:
        fields.append(f"{fps:.0f} fps")
    text = SEPARATOR.join(fields)
    if help_text is not None:
        with_help = text + HELP_GAP + help_text
        if fit_to_width(with_help, cells) == with_help:
            return with_help
    return fit_to_width(text, cells)
