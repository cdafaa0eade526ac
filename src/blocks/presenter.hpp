// Shows RGBA frames as half-block cells: each cell is the glyph "▀" with its
// upper pixel as the foreground and its lower pixel as the background colour,
// so a frame is exactly cols x 2 * rows pixels. Only cells that changed since
// the last frame are rewritten.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "blocks/palette_256.hpp"
#include "blocks/palette_256_dither.hpp"
#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/frame_history.hpp"
#include "common/presenter.hpp"
#include "common/viewport.hpp"

namespace facetview {

enum class ColourDepth : std::uint8_t {
  true_colour,  // SGR 38;2 / 48;2
  palette_256,  // SGR 38;5 / 48;5, palette entries in a pattern tied to the pixel
};

class BlocksPresenter final : public Presenter {
 public:
  explicit BlocksPresenter(ColourDepth depth) : depth_(depth) {}

  // Pixels per cell across and down.
  static constexpr std::uint32_t kCellWidth = 1;
  static constexpr std::uint32_t kCellHeight = 2;

  // The frame is kCellWidth * viewport.cols by kCellHeight * viewport.rows
  // pixels (the screen layout is not used). Rewrites the changed cells in
  // one write.
  Status present(ByteOutput& output, std::span<const std::uint8_t> frame,
                 const FrameGeometry& geometry) override;

  // Blanks the cells drawn over.
  Status clear(ByteOutput& output) override;

  void reset() override { history_.clear(); }

  ColourDepth colour_depth() const { return depth_; }

 private:
  // The colours the terminal is set to while the frame's text is written;
  // unknown at the start of a frame.
  struct Pen {
    std::optional<Rgb> foreground;
    std::optional<Rgb> background;
  };

  void append_changed_cells(std::span<const std::uint8_t> frame, Viewport viewport,
                            bool everything);
  // The cell whose upper pixel is (x, y) of the frame.
  void append_cell(Rgb upper, Rgb lower, std::uint32_t x, std::uint32_t y, Pen& pen);
  void append_colours(std::optional<Rgb> foreground, std::optional<Rgb> background);
  void append_colour(char layer, Rgb colour);

  ColourDepth depth_;
  Palette256Dither dither_;
  FrameHistory history_;
  std::string text_;  // the frame's text, reused from frame to frame
};

}  // namespace facetview
