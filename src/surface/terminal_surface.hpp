// One renderer, one presenter and a quality: sizes, renders and presents frames.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "blocks/presenter.hpp"
#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/presenter.hpp"
#include "common/viewport.hpp"
#include "model/mesh.hpp"
#include "raster/orbit_camera.hpp"
#include "raster/renderer.hpp"
#include "sixel/presenter.hpp"
#include "surface/image_range_lease.hpp"
#include "surface/present_method.hpp"
#include "surface/quality.hpp"

namespace facetview {

struct FrameSize {
  std::uint32_t width;
  std::uint32_t height;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// Cell sides beyond this many pixels are no terminal's: such a size counts
// as unknown.
inline constexpr std::uint32_t kMaxCellPixels = 512;

// What is known of the terminal that frames go to; each part may be unknown.
struct TerminalDisplay {
  std::optional<std::uint32_t> cell_width;  // pixels of one cell
  std::optional<std::uint32_t> cell_height;
  std::optional<std::uint16_t> rows;  // rows of the screen
  // The largest sixel image the terminal shows, and its colour registers.
  std::optional<std::uint32_t> sixel_max_width = std::nullopt;
  std::optional<std::uint32_t> sixel_max_height = std::nullopt;
  std::optional<std::uint32_t> sixel_colours = std::nullopt;

  friend bool operator==(const TerminalDisplay&, const TerminalDisplay&) = default;
};

// Whole pixels per cell, scaled down past the quality's pixel budget: the size
// of the frames that the kitty presenter shows.
FrameSize framebuffer_size(Quality quality, Viewport viewport);

// The same, where full quality takes the display's cell size when it is known
// (and the frame fits a renderer).
FrameSize framebuffer_size(Quality quality, Viewport viewport, const TerminalDisplay& display);

// Whether the display's cell size is known and one a terminal can have.
bool sane_cell_size(const TerminalDisplay& display);

// How a sixel frame covers the viewport: the display's cell size, else the
// quality's, and the smallest whole scale that keeps the frame within the
// quality's pixel budget.
SixelLayout sixel_layout(Quality quality, Viewport viewport, const TerminalDisplay& display);

// Where a sixel frame goes: the whole viewport, unless its pixels exceed the
// largest image the terminal shows (or the presenter's largest screen side);
// then 1/reduction of its cells across and down, centred in it, for the
// smallest whole reduction that fits.
struct SixelPlacement {
  Viewport shown;
  std::uint32_t reduction = 1;
  SixelLayout layout;
};
SixelPlacement sixel_placement(Quality quality, Viewport viewport, const TerminalDisplay& display);

struct PresentedFrame {
  Viewport viewport;
  std::uint32_t width;
  std::uint32_t height;
};

// One picture of a grid: a mesh (none leaves the cell empty) under its own
// camera over its own rectangle of cells, which lies inside the grid's viewport.
struct GridCell {
  const Mesh* mesh;
  AnyCamera camera;
  Viewport cells;
};

class TerminalSurface {
 public:
  // kitty images are drawn in the lease's range (by default the shared one).
  explicit TerminalSurface(Quality quality, PresentMethod method = PresentMethod::kitty,
                           ColourDepth colour_depth = ColourDepth::true_colour,
                           ImageRangeLease image_range = {});

  // The size of the frame that render_and_present renders for the viewport:
  // by the quality for kitty (at full, the display's cells), two pixels per
  // cell for blocks, the display's pixels (within the quality's budget) for
  // sixel.
  FrameSize frame_size(Viewport viewport) const;

  // 1 where frames fill the viewport; k where the terminal's largest sixel
  // image makes them 1/k of it across and down.
  std::uint32_t reduction(Viewport viewport) const;

  // Sizes, renders and presents one frame; a frame that writes anything
  // saves the cursor first and restores it at its end, so the cursor stays
  // where the program's text had it. Throws std::bad_alloc when the frame's
  // buffers cannot be allocated; the surface stays usable.
  Result<PresentedFrame> render_and_present(ByteOutput& output, const Mesh& mesh,
                                            const AnyCamera& camera, Viewport viewport);

  // Renders each cell's mesh into its rectangle of one frame over the
  // viewport and presents that frame; the rest of the viewport (around and
  // between the pictures) is a plain dark colour. Throws std::bad_alloc as
  // render_and_present does.
  Result<PresentedFrame> render_grid_and_present(ByteOutput& output,
                                                 std::span<const GridCell> cells,
                                                 Viewport viewport);

  // Removes what the surface showed (kitty: every image, or its own images
  // in a private range; otherwise the cells drawn over are blanked) and
  // forgets it, so the next frame is sent whole, also when the write fails.
  // Keeps the cursor like a frame. Writes without flushing.
  Status clear(ByteOutput& output);

  // Forgets what was shown without writing anything.
  void forget_shown();

  Quality quality() const { return quality_; }
  void set_quality(Quality quality) { quality_ = quality; }
  // What frames carry over the shaded mesh.
  const Overlays& overlays() const { return overlays_; }
  Overlays& overlays() { return overlays_; }
  PresentMethod method() const { return method_; }
  ImageRange image_range() const { return image_range_.range(); }
  const TerminalDisplay& display() const { return display_; }
  // Takes the display as measured now; where that does not know the cell
  // size, the reported one stands in.
  void update_display(const TerminalDisplay& measured);
  // A cell size the terminal told otherwise, such as in answer to a query;
  // sides outside 1 to kMaxCellPixels leave it unknown.
  void set_reported_cell_size(std::uint32_t width, std::uint32_t height);
  // The largest sixel image and the colour registers the terminal told of.
  void set_reported_sixel_limits(std::optional<std::uint32_t> max_width,
                                 std::optional<std::uint32_t> max_height,
                                 std::optional<std::uint32_t> colours);
  const Renderer& renderer() const { return renderer_; }

 private:
  // Where the frame of that size goes: sixel frames may cover only part of
  // the viewport, in the terminal's own pixels.
  FrameGeometry frame_geometry(Viewport viewport, FrameSize size) const;

  Status present(ByteOutput& output, std::span<const std::uint8_t> frame, FrameSize size,
                 Viewport viewport);

  Renderer renderer_{1, 1};
  std::vector<std::uint8_t> grid_frame_;  // the frame that grid pictures are copied into
  PresentMethod method_;
  ImageRangeLease image_range_;
  std::unique_ptr<Presenter> presenter_;
  Quality quality_;
  TerminalDisplay display_;
  TerminalDisplay measured_;  // as last measured, before anything stood in
  TerminalDisplay reported_;  // its cell size and sixel limits stand in
  Overlays overlays_;
};

}  // namespace facetview
