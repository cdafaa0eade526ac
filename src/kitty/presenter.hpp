// Shows RGBA frames over a viewport of terminal cells with the kitty graphics
// protocol, one image per tile of at most 8 x 4 cells, re-sending only the
// tiles whose pixels changed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "kitty/viewport.hpp"

namespace facetview {

class Presenter {
 public:
  // Deletes every placement on the screen and frees the images' data.
  static constexpr std::string_view delete_all_sequence = "\x1b_Ga=d,d=A,q=2\x1b\\";
  static constexpr std::int32_t initial_z = -1000000000;

  Presenter() = default;

  // frame holds width * height * 4 bytes. Writes the changed tiles and flushes
  // once; an unchanged frame writes nothing.
  Status present_rgba(ByteOutput& output, std::span<const std::uint8_t> frame, std::uint32_t width,
                      std::uint32_t height, Viewport viewport);

  // Forgets the last frame, so the next present rebuilds and sends every tile.
  void reset();

  std::int32_t next_z() const { return next_z_; }
  bool has_frame_state() const { return frame_state_.has_value(); }

 private:
  // (implementation-defined private members)
  struct FrameState;  // may be replaced by a full definition
  std::optional<int> frame_state_;  // placeholder, replaced by the implementation
  std::int32_t next_z_ = initial_z;
};

}  // namespace facetview
