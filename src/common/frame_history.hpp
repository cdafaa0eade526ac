// What a presenter showed last: the viewport it drew over and a copy of the
// frame, so that the next frame sends only what changed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/viewport.hpp"

namespace facetview {

class FrameHistory {
 public:
  // Whether a frame of this size over this viewport can be compared with the
  // remembered one; false when nothing is remembered.
  bool comparable(Viewport viewport, std::uint32_t width, std::uint32_t height) const;

  // The remembered frame; only meaningful while comparable() holds.
  std::span<const std::uint8_t> previous() const { return previous_; }

  // The cells that may still show something of this presenter.
  std::optional<Viewport> drawn_area() const { return drawn_area_; }

  // Nothing of this presenter is on the screen any more.
  void clear();

  // Sends a frame's whole text in one write and flushes. The frame is
  // remembered once it has left; after a failure its pixels are forgotten, so
  // the next frame is drawn in full, while the viewport stays marked as drawn.
  Status send(ByteOutput& output, std::string_view text, std::span<const std::uint8_t> frame,
              Viewport viewport, std::uint32_t width, std::uint32_t height);

  // Blanks the cells drawn over, without flushing, and forgets them (after a
  // failed write only their pixels); writes nothing when nothing is drawn.
  // text is scratch space.
  Status blank_drawn_area(ByteOutput& output, std::string& text);

  // Records a frame that reached the terminal whole.
  void remember(std::span<const std::uint8_t> frame, Viewport viewport, std::uint32_t width,
                std::uint32_t height);

  // For a presenter that brings the remembered frame up to date itself, part
  // by part as the new frame is compared with it: the storage, `bytes` long.
  // Nothing is comparable until remember_updated().
  std::span<std::uint8_t> update_in_place(std::size_t bytes);
  // Records the frame brought up to date in place as one that reached the
  // terminal whole.
  void remember_updated(Viewport viewport, std::uint32_t width, std::uint32_t height);
  // After a failed write: the screen holds an unknown part of the frame, so the
  // next one is drawn in full. The viewport stays marked as drawn over.
  void forget_pixels() { comparable_ = false; }

 private:
  // Marks something drawn over the viewport, even before it is remembered.
  void mark_drawn(Viewport viewport) { drawn_area_ = viewport; }

  std::vector<std::uint8_t> previous_;
  Viewport viewport_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  bool comparable_ = false;
  std::optional<Viewport> drawn_area_;
};

// A frame written in several commands, on its way out: unless finished, it
// was abandoned half-way (an output failure, an error, an exception), so what
// is left of it is dropped from the output and the history forgets the
// pixels, and the next frame is sent whole.
class UnfinishedFrame {
 public:
  UnfinishedFrame(FrameHistory& history, ByteOutput& output)
      : history_(&history), output_(output) {}
  UnfinishedFrame(const UnfinishedFrame&) = delete;
  UnfinishedFrame& operator=(const UnfinishedFrame&) = delete;
  ~UnfinishedFrame() {
    if (history_ == nullptr) return;
    output_.discard();
    history_->forget_pixels();
  }

  // The frame, brought up to date in the history, is out whole.
  void finish(Viewport viewport, std::uint32_t width, std::uint32_t height) {
    history_->remember_updated(viewport, width, height);
    history_ = nullptr;
  }

 private:
  FrameHistory* history_;
  ByteOutput& output_;
};

}  // namespace facetview
