"""A strict reader of the byte stream facetview sends: whole commands only, and what the screen shows."""

import base64
import re
import zlib

APC = re.compile(rb"\x1b_G([^\x1b]*)\x1b\\")
CURSOR = re.compile(rb"\x1b\[(\d+);(\d+)H")
DELETE_ALL = b"\x1b_Ga=d,d=A,q=2\x1b\\"
# Each frame keeps the cursor: saved before its first command, restored after its last.
CURSOR_SAVE_OR_RESTORE = re.compile(rb"\x1b[78]")
# How a frame that starts afresh begins.
FRAME_START = b"\x1b7" + DELETE_ALL
STRING_TERMINATOR = b"\x1b\\"
CHUNK = 4096
# The keys of each graphics command, in order; a missing or extra key means a torn command.
KEYS = {
    b"t": [b"a", b"q", b"i", b"f", b"s", b"v", b"o", b"m"],
    b"p": [b"a", b"q", b"i", b"p", b"c", b"r", b"C", b"z"],
    b"A": [b"a", b"d", b"q"],
    b"I": [b"a", b"d", b"q", b"i"],
    None: [b"m"],  # a further chunk of a transmission
}


class TornStream(AssertionError):
    pass


def _check(condition, what):
    if not condition:
        raise TornStream(what)


def commands(stream):
    """The commands of stream in order: ("cursor", row, col), ("delete all",), ("delete", id),
    ("image", id, width, height, rgba) once a transmission is complete, ("place", id, cols, rows, z),
    ("save",) and ("restore",) of the cursor.

    Everything must be a whole, valid command. The one exception is a command that a failed write
    cut short: the writer ends it with the string terminator, and the re-synchronising frame (which
    starts with the delete-all command, after the cursor save) must follow at once; it is reported
    as ("torn",)."""
    position, found, receiving = 0, [], None
    while position < len(stream):
        kept = CURSOR_SAVE_OR_RESTORE.match(stream, position)
        if kept:
            found.append(("save",) if kept[0] == b"\x1b7" else ("restore",))
            position = kept.end()
            continue
        cursor, apc = CURSOR.match(stream, position), APC.match(stream, position)
        try:
            _check(cursor or apc, "stray bytes")
            if cursor:
                found.append(("cursor", int(cursor[1]), int(cursor[2])))
            else:
                command, receiving = _graphics(apc[1], receiving)
                found += command
            position = (cursor or apc).end()
        except TornStream as reason:
            end = apc.end() if apc else stream.find(STRING_TERMINATOR, position) + len(STRING_TERMINATOR)
            resumed = end + len(b"\x1b7") if stream.startswith(b"\x1b7", end) else end
            if end < len(STRING_TERMINATOR) or not stream.startswith(DELETE_ALL, resumed):
                raise TornStream(f"{reason} at {position}: {stream[position:position + 60]!r}") from None
            found.append(("torn",))
            position, receiving = end, None
    _check(receiving is None, "transmission left open")
    return found


def _graphics(body, receiving):
    """The commands that one graphics command body gives, and the transmission still open after it."""
    head, _, payload = body.partition(b";")
    pairs = [pair.split(b"=", 1) for pair in head.split(b",")]
    _check(all(len(pair) == 2 and pair[1] for pair in pairs), f"malformed keys {head!r}")
    keys = dict(pairs)
    kind = keys.get(b"d") if keys.get(b"a") == b"d" else keys.get(b"a")
    _check([key for key, _ in pairs] == KEYS.get(kind), f"bad keys {head!r}")
    if kind == b"A":
        return [("delete all",)], receiving
    if kind == b"I":
        return [("delete", int(keys[b"i"]))], receiving
    if kind == b"p":
        _check(receiving is None, "placement inside a transmission")
        return [("place", int(keys[b"i"]), int(keys[b"c"]), int(keys[b"r"]), int(keys[b"z"]))], None
    # A chunk of a transmission: full chunks while more follow, Base64 text only.
    _check((kind == b"t") == (receiving is None), "chunk outside its transmission")
    _check(keys[b"m"] in (b"0", b"1") and 0 < len(payload) <= CHUNK, "bad chunk")
    _check(keys[b"m"] == b"0" or len(payload) == CHUNK, "short chunk")
    if kind == b"t":
        receiving = (int(keys[b"i"]), int(keys[b"s"]), int(keys[b"v"]), b"")
    image, width, height, text = receiving
    text += payload
    if keys[b"m"] == b"1":
        return [], (image, width, height, text)
    try:
        pixels = zlib.decompress(base64.b64decode(text, validate=True))
    except (ValueError, zlib.error) as error:
        raise TornStream(f"image {image}: {error}") from None
    _check(len(pixels) == width * height * 4, f"image {image} of the wrong size")
    return [("image", image, width, height, pixels)], None


def screen(stream):
    """What the terminal shows after stream: for each cell rectangle (row, col, cols, rows) with an
    image, the topmost image's width, height and pixels."""
    images, placed, cursor = {}, {}, None
    for command in commands(stream):
        kind, *values = command
        if kind == "cursor":
            cursor = tuple(values)
        elif kind == "delete all":
            images.clear()
            placed.clear()
        elif kind == "delete":
            images.pop(values[0], None)
            placed.pop(values[0], None)
        elif kind == "image":
            images[values[0]] = tuple(values[1:])
        elif kind == "place":
            image, cols, rows, z = values
            assert image in images, f"placement of image {image}, which is not there"
            placed[image] = (z, (*cursor, cols, rows))
    return {cells: images[image] for image, (_, cells) in sorted(placed.items(), key=lambda item: item[1][0])}


def decode_frame(data: bytes, viewport_cols: int, viewport_rows: int):
    """(width, height, rgba) of the frame that the graphics commands in data show over a viewport
    at the screen's top-left corner; other output, and the delete-all of a viewer's exit, are left out."""
    shown = screen(b"".join(re.findall(rb"\x1b_G[^\x1b]*\x1b\\|\x1b\[\d+;\d+H", data.replace(DELETE_ALL, b""))))
    (_, _, cols, rows), (tile_width, tile_height, _) = next(iter(shown.items()))
    cell_width, cell_height = tile_width // cols, tile_height // rows
    width, height = viewport_cols * cell_width, viewport_rows * cell_height
    frame = bytearray(width * height * 4)
    for (row, col, _, _), (image_width, image_height, pixels) in shown.items():
        x, y = (col - 1) * cell_width, (row - 1) * cell_height
        for line in range(image_height):
            start = ((y + line) * width + x) * 4
            frame[start:start + image_width * 4] = pixels[line * image_width * 4:(line + 1) * image_width * 4]
    return width, height, bytes(frame)
