#include "common/frame_history.hpp"

namespace facetview {

bool FrameHistory::comparable(Viewport viewport, std::uint32_t width, std::uint32_t height) const {
  return comparable_ && viewport_ == viewport && width_ == width && height_ == height;
}

void FrameHistory::remember(std::span<const std::uint8_t> frame, Viewport viewport,
                            std::uint32_t width, std::uint32_t height) {
  previous_.assign(frame.begin(), frame.end());
  viewport_ = viewport;
  width_ = width;
  height_ = height;
  comparable_ = true;
  drawn_area_ = viewport;
}

void FrameHistory::clear() {
  comparable_ = false;
  drawn_area_.reset();
}

}  // namespace facetview
