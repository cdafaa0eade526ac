"""facetview inside a real kitty terminal on a virtual X display.

Also a script: `python tests/e2e/kitty_session.py OUT.png [viewer options]`
saves a screenshot of the viewer (the README's picture), taken 4 seconds after
the start; give --hold so that the viewer is still there.
"""

import os
import sys
import time
from pathlib import Path

from x_terminal import SCREEN_WIDTH, XTerminal
from x_terminal import missing_tools as missing_x_tools

__all__ = ["SCREEN_WIDTH", "KittySession", "missing_tools"]

# A fixed look: no decorations or padding, the cell grid at the window's corner,
# one font, a black background and a cursor that cannot be seen on it.
KITTY_CONFIG = """\
font_family DejaVu Sans Mono
font_size 10
remember_window_size no
initial_window_width {cols}c
initial_window_height {rows}c
window_padding_width 0
placement_strategy top-left
hide_window_decorations yes
background #000000
foreground #e0e0e0
cursor #000000
cursor_text_color background
cursor_blink_interval 0
enable_audio_bell no
update_check_interval 0
"""


def missing_tools():
    return missing_x_tools("kitty")


class KittySession(XTerminal):
    """Xvfb, and a kitty window of cols × rows cells running the viewer with args."""

    def __init__(self, workdir: Path, cols: int, rows: int, args, program=("-m", "facetview"),
                 extra_config: str = ""):
        (workdir / "kitty.conf").write_text(KITTY_CONFIG.format(cols=cols, rows=rows) + extra_config)

        def command(launcher):
            return ["kitty", "--config", str(workdir / "kitty.conf"), "--directory", str(workdir), *launcher]

        super().__init__(workdir, command, [*program, *args],
                         dict(LIBGL_ALWAYS_SOFTWARE="1", KITTY_CONFIG_DIRECTORY=str(workdir)))


if __name__ == "__main__":
    import signal
    import tempfile

    with tempfile.TemporaryDirectory() as workdir:
        session = KittySession(Path(workdir), 72, 22, sys.argv[2:])
        try:
            time.sleep(4)  # let the frames and the status line settle
            session.save_window(sys.argv[1])
            os.kill(session.program_pid, signal.SIGTERM)
        finally:
            session.close()
