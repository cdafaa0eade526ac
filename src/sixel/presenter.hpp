// Shows RGBA frames as sixel images over a viewport. Sixel pixels are screen
// pixels, so the frame covers the viewport's cells at the terminal's own cell
// size, possibly rendered smaller by a whole scale and enlarged here. After
// the first frame only the bands of cell rows that changed are sent again.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/frame_history.hpp"
#include "common/presenter.hpp"
#include "common/viewport.hpp"
#include "sixel/encoder.hpp"
#include "sixel/palette.hpp"

namespace facetview {

// Larger than any screen: a viewport beyond this many pixels across or down is
// a mistake, not a picture.
inline constexpr std::uint32_t kSixelMaxScreenSide = 32768;

// How the frame maps onto the screen.
using SixelLayout = ScreenLayout;
static_assert(SixelLayout().colours == SixelPalette::kMaxColours,
              "a layout fills every colour register unless told otherwise");

// The frame size for a viewport: its screen pixels divided by the scale,
// rounded up, with 0 columns or rows counting as 1.
std::uint32_t sixel_frame_width(Viewport viewport, const SixelLayout& layout);
std::uint32_t sixel_frame_height(Viewport viewport, const SixelLayout& layout);

// Cell rows per band: the fewest whose height is a multiple of 6 pixels, one
// sixel row, so that no band spills into the cells below it.
std::uint32_t sixel_band_rows(std::uint32_t cell_height);

class SixelPresenter final : public Presenter {
 public:
  // The frame is sized by sixel_frame_width and sixel_frame_height for the
  // geometry's screen layout. Sends the changed bands in one write.
  Status present(ByteOutput& output, std::span<const std::uint8_t> frame,
                 const FrameGeometry& geometry) override;

  // Blanks the cells drawn over.
  Status clear(ByteOutput& output) override;

  void reset() override { history_.clear(); }

 private:
  // Appends the image of cell rows first_row to end_row, from the frame in the
  // palette's indices.
  void append_band(std::uint32_t width, std::uint32_t height, Viewport viewport,
                   const SixelLayout& layout, std::uint32_t first_row, std::uint32_t end_row);

  FrameHistory history_;
  std::optional<SixelLayout> layout_;  // of the remembered frame
  SixelPalette palette_;
  std::string text_;  // the frame's text
};

}  // namespace facetview
