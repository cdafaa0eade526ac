"""Decodes the kitty graphics sequences facetview writes back into a framebuffer."""

import re

from kitty_stream import commands

# Graphics commands and cursor positions; the viewer's other output (modes, status text) is left out.
COMMAND = re.compile(rb"\x1b_G[^\x1b]*\x1b\\|\x1b\[\d+;\d+H")


def decode_frame(data: bytes, viewport_cols: int, viewport_rows: int):
    """(width, height, rgba) of the frame the sequences show over a viewport at the screen's
    top-left corner: images are collected by id, each placement copies one to the cursor's cell."""
    images, placements, cursor = {}, [], None
    for kind, *values in commands(b"".join(COMMAND.findall(data))):
        if kind == "cursor":
            cursor = (values[1] - 1, values[0] - 1)
        elif kind == "image":
            images[values[0]] = values[1:]
        elif kind == "place":
            placements.append((cursor, values[1], values[2], values[0]))
    tile_width, tile_height, _ = images[placements[0][3]]
    cell_width, cell_height = tile_width // placements[0][1], tile_height // placements[0][2]
    width, height = viewport_cols * cell_width, viewport_rows * cell_height
    frame = bytearray(width * height * 4)
    for (col, row), _, _, image_id in placements:
        image_width, image_height, pixels = images[image_id]
        x, y = col * cell_width, row * cell_height
        for line in range(image_height):
            start = ((y + line) * width + x) * 4
            frame[start:start + image_width * 4] = pixels[line * image_width * 4:(line + 1) * image_width * 4]
    return width, height, bytes(frame)
