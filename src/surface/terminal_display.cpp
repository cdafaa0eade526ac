#include "surface/terminal_display.hpp"

#include <sys/ioctl.h>

namespace facetview {

TerminalDisplay measure_terminal_display(int fd) {
  TerminalDisplay display;
  winsize size{};
  if (ioctl(fd, TIOCGWINSZ, &size) != 0) return display;
  if (size.ws_row != 0) display.rows = size.ws_row;
  if (size.ws_col != 0 && size.ws_row != 0 && size.ws_xpixel >= size.ws_col &&
      size.ws_ypixel >= size.ws_row) {
    display.cell_width = size.ws_xpixel / size.ws_col;
    display.cell_height = size.ws_ypixel / size.ws_row;
  }
  return display;
}

}  // namespace facetview
