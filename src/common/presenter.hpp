// The one contract between the terminal surface and the ways it can show a
// frame (kitty images, sixel bands, half-block cells). The surface holds a
// Presenter and never asks which kind it is.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/viewport.hpp"

namespace facetview {

// How frame pixels meet screen pixels, for the presenters that draw in the
// terminal's own pixels; the others ignore it.
struct ScreenLayout {
  std::uint32_t cell_width = 1;  // screen pixels of one cell
  std::uint32_t cell_height = 1;
  std::uint32_t scale = 1;  // screen pixels across and down per frame pixel
  // Rows of the screen, when known: the last one is never drawn on, since an
  // image that reaches it scrolls the screen in many terminals.
  std::optional<std::uint16_t> screen_rows;
  // Colour registers of the terminal that a frame's palette may fill.
  std::uint32_t colours = 256;

  friend bool operator==(const ScreenLayout&, const ScreenLayout&) = default;
};

// Where a frame goes and how large it is: width * height RGBA pixels over the
// viewport's cells (a viewport of 0 columns or rows is passed on as it is).
struct FrameGeometry {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  Viewport viewport;
  ScreenLayout screen;
};

class Presenter {
 public:
  virtual ~Presenter() = default;

  // Shows the frame, sending only what changed since the last one, and
  // flushes; an unchanged frame writes nothing. A frame abandoned half-way
  // leaves nothing behind in the output, and the next one is sent whole.
  virtual Status present(ByteOutput& output, std::span<const std::uint8_t> frame,
                         const FrameGeometry& geometry) = 0;

  // Removes from the screen what this presenter showed, without flushing,
  // and forgets it, so the next frame is sent whole (also when the write
  // fails). Writes nothing when nothing is shown.
  virtual Status clear(ByteOutput& output) = 0;

  // Forgets what was shown without touching the screen (which was cleared
  // by other means).
  virtual void reset() = 0;
};

}  // namespace facetview
