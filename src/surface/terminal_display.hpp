// What the kernel knows of the terminal on a descriptor: its rows and, where
// the terminal reports them, its pixels.
#pragma once

#include "surface/terminal_surface.hpp"

namespace facetview {

// From TIOCGWINSZ. The cell size is the window's pixels over its cells, and
// unknown where the pixel fields are 0 (inside tmux, on several platforms);
// everything is unknown when fd is not a terminal.
TerminalDisplay measure_terminal_display(int fd);

}  // namespace facetview
