"""Replays what facetview writes for half-block and sixel frames, and what tmux's
capture-pane -e -p gives back, onto a model of the screen."""

import re

TOKEN = re.compile(rb"\x1b\[([0-9;?]*)([A-Za-z])|\x1bP([0-9;]*)q(.*?)\x1b\\|(\n)|(\xe2\x96\x80)|([ -~])", re.S)
CUBE = (0, 95, 135, 175, 215, 255)


def palette_colour(index):
    """The colour xterm and tmux give an entry of the 256-colour palette from 16 up."""
    if index >= 232:
        return (8 + 10 * (index - 232),) * 3
    index -= 16
    return CUBE[index // 36], CUBE[index // 6 % 6], CUBE[index % 6]


def _colours(numbers, foreground, background):
    """Applies one SGR parameter list to the current colours (None is the default)."""
    numbers = iter(numbers)
    for code in numbers:
        if code in (0, 39):
            foreground = None
        if code in (0, 49):
            background = None
        if code in (38, 48):
            colour = tuple(next(numbers) for _ in range(3)) if next(numbers) == 2 else palette_colour(next(numbers))
            foreground, background = (colour, background) if code == 38 else (foreground, colour)
    return foreground, background


def replay_cells(data: bytes, cols: int, rows: int):
    """rows × cols cells, each (upper colour, lower colour): what "▀" or a space in the
    current colours shows; None for a cell not written or in the default colours."""
    cells = [[(None, None)] * cols for _ in range(rows)]
    row = col = 0
    foreground = background = None
    for match in TOKEN.finditer(data):
        parameters, command = match.group(1), match.group(2)
        if command == b"H":
            row, col = (int(n) - 1 for n in parameters.split(b";"))
        elif command == b"C":
            col += int(parameters or b"1")
        elif command == b"m":
            foreground, background = _colours([int(n or 0) for n in parameters.split(b";")], foreground, background)
        elif match.group(5):
            row, col = row + 1, 0
        elif match.group(6) or match.group(7):
            upper = foreground if match.group(6) else background
            if row < rows and col < cols:
                cells[row][col] = (upper, background)
            col += 1
    return cells


def decode_sixel(body: bytes):
    """(width, height, rows of RGB tuples) of one sixel image's data."""
    attributes = re.match(rb'"(\d+);(\d+);(\d+);(\d+)', body)
    width, height = int(attributes.group(3)), int(attributes.group(4))
    pixels = [[None] * width for _ in range(height)]
    palette, colour, x, band = {}, None, 0, 0
    for match in re.finditer(rb"#(\d+)(?:;2;(\d+);(\d+);(\d+))?|!(\d+)([?-~])|([?-~])|(\$)|(-)", body[attributes.end():]):
        if match.group(1) is not None:
            if match.group(2) is not None:
                palette[int(match.group(1))] = tuple(round(int(match.group(n)) * 255 / 100) for n in (2, 3, 4))
            colour = palette[int(match.group(1))]
        elif match.group(8):
            x = 0
        elif match.group(9):
            x, band = 0, band + 6
        else:
            count, char = (int(match.group(5)), match.group(6)) if match.group(5) else (1, match.group(7))
            bits = char[0] - 0x3F
            for column in range(x, x + count):
                for bit in range(6):
                    if bits >> bit & 1 and band + bit < height:
                        pixels[band + bit][column] = colour
            x += count
    return width, height, pixels


def replay_sixel(data: bytes, cell_width: int, cell_height: int, cols: int, rows: int):
    """The screen's pixels, rows of RGB tuples (None where no image is), after every
    sixel image was drawn at the cell of the cursor position before it."""
    screen = [[None] * (cols * cell_width) for _ in range(rows * cell_height)]
    row = col = 0
    for match in TOKEN.finditer(data):
        if match.group(2) == b"H":
            row, col = (int(n) - 1 for n in match.group(1).split(b";"))
        elif match.group(4) is not None:
            width, height, pixels = decode_sixel(match.group(4))
            for y in range(height):
                screen[row * cell_height + y][col * cell_width:col * cell_width + width] = pixels[y]
    return screen
