// One renderer, one presenter and a quality: sizes, renders and presents frames.
#pragma once

#include <cstdint>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "kitty/presenter.hpp"
#include "kitty/viewport.hpp"
#include "raster/camera.hpp"
#include "raster/renderer.hpp"
#include "stl/mesh.hpp"
#include "surface/quality.hpp"

namespace facetview {

struct FrameSize {
  std::uint32_t width;
  std::uint32_t height;
  friend bool operator==(const FrameSize&, const FrameSize&) = default;
};

// Whole pixels per cell, scaled down past the quality's pixel budget.
FrameSize framebuffer_size(Quality quality, Viewport viewport);

struct PresentedFrame {
  Viewport viewport;
  std::uint32_t width;
  std::uint32_t height;
};

class TerminalSurface {
 public:
  explicit TerminalSurface(Quality quality);

  // Sizes, renders and presents one frame. Throws std::bad_alloc when the
  // frame's buffers cannot be allocated; the surface stays usable.
  Result<PresentedFrame> render_and_present(ByteOutput& output, const Mesh& mesh,
                                            const Camera& camera, Viewport viewport);

  Quality quality() const { return quality_; }
  void set_quality(Quality quality) { quality_ = quality; }
  Presenter& presenter() { return presenter_; }
  const Renderer& renderer() const { return renderer_; }

 private:
  Renderer renderer_{1, 1};
  Presenter presenter_;
  Quality quality_;
};

}  // namespace facetview
