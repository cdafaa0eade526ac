#include "common/frame_history.hpp"

#include "common/terminal_text.hpp"

namespace facetview {

bool FrameHistory::comparable(Viewport viewport, std::uint32_t width, std::uint32_t height) const {
  return comparable_ && viewport_ == viewport && width_ == width && height_ == height;
}

void FrameHistory::remember(std::span<const std::uint8_t> frame, Viewport viewport,
                            std::uint32_t width, std::uint32_t height) {
  previous_.assign(frame.begin(), frame.end());
  remember_updated(viewport, width, height);
}

std::span<std::uint8_t> FrameHistory::update_in_place(std::size_t bytes) {
  comparable_ = false;
  previous_.resize(bytes);
  return previous_;
}

void FrameHistory::remember_updated(Viewport viewport, std::uint32_t width, std::uint32_t height) {
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

Status FrameHistory::send(ByteOutput& output, std::string_view text,
                          std::span<const std::uint8_t> frame, Viewport viewport,
                          std::uint32_t width, std::uint32_t height) {
  mark_drawn(viewport);
  Status sent = output.write_all(text);
  if (sent) sent = output.flush();
  if (!sent) {
    // Nothing of the frame may wait in the output for the next one.
    output.discard();
    forget_pixels();
    return sent;
  }
  remember(frame, viewport, width, height);
  return Status::success();
}

Status FrameHistory::blank_drawn_area(ByteOutput& output, std::string& text) {
  if (!drawn_area_) return Status::success();
  text.clear();
  append_blank_cells(text, *drawn_area_);
  if (Status written = output.write_all(text); !written) {
    // The cells may or may not be blank: draw the next frame whole, and blank
    // them again at the next clear.
    forget_pixels();
    return written;
  }
  clear();
  return Status::success();
}

}  // namespace facetview
