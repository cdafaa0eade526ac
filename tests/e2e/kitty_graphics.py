"""Decodes the kitty graphics sequences facetview writes back into a framebuffer."""

import base64
import re
import zlib

COMMAND = re.compile(rb"\x1b_G([^;\x1b]*)(?:;([^\x1b]*))?\x1b\\|\x1b\[(\d+);(\d+)H")


def decode_frame(data: bytes, viewport_cols: int, viewport_rows: int):
    """(width, height, rgba) of the frame the sequences show over a viewport at the screen's
    top-left corner: images are collected by id, each placement copies one to the cursor's cell."""
    images, placements = {}, []
    receiving, cursor = None, (0, 0)
    for match in COMMAND.finditer(data):
        if match.group(3):
            cursor = (int(match.group(4)) - 1, int(match.group(3)) - 1)
            continue  # a cursor position, not a graphics command
        keys = dict(pair.split(b"=", 1) for pair in match.group(1).split(b","))
        if keys.get(b"a") == b"t":
            receiving = {"id": int(keys[b"i"]), "size": (int(keys[b"s"]), int(keys[b"v"])), "payload": b""}
        if b"m" in keys:
            receiving["payload"] += match.group(2)
            if keys[b"m"] == b"0":
                images[receiving["id"]] = (receiving["size"], zlib.decompress(base64.b64decode(receiving["payload"])))
        elif keys.get(b"a") == b"p":
            placements.append((cursor, int(keys[b"c"]), int(keys[b"r"]), int(keys[b"i"])))
    (tile_width, tile_height), _ = images[placements[0][3]]
    cell_width, cell_height = tile_width // placements[0][1], tile_height // placements[0][2]
    width, height = viewport_cols * cell_width, viewport_rows * cell_height
    frame = bytearray(width * height * 4)
    for (col, row), _, _, image_id in placements:
        (image_width, image_height), pixels = images[image_id]
        x, y = col * cell_width, row * cell_height
        for line in range(image_height):
            start = ((y + line) * width + x) * 4
            frame[start:start + image_width * 4] = pixels[line * image_width * 4:(line + 1) * image_width * 4]
    return width, height, bytes(frame)
