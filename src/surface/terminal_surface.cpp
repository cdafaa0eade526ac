#include "surface/terminal_surface.hpp"

#include <span>
#include <utility>

namespace facetview {

TerminalSurface::TerminalSurface(Quality quality) : quality_(quality) {}

Result<PresentedFrame> TerminalSurface::render_and_present(ByteOutput& output, const Mesh& mesh,
                                                           const Camera& camera,
                                                           Viewport viewport) {
  const FrameSize size = framebuffer_size(quality_, viewport);
  // A frame too large to allocate throws here, before the presenter is touched,
  // so the next smaller frame is presented as if this one had never been asked for.
  renderer_.resize(size.width, size.height);
  renderer_.render(mesh, camera);

  // The viewport goes on as given: the presenter treats 0 columns or rows itself.
  Status presented = presenter_.present_rgba(output, std::span(renderer_.framebuffer()), size.width,
                                             size.height, viewport);
  if (!presented) return std::move(presented).error();
  return PresentedFrame{viewport, size.width, size.height};
}

}  // namespace facetview
