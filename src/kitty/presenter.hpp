// Shows RGBA frames over a viewport of terminal cells with the kitty graphics
// protocol, one image per tile of at most 8 x 4 cells, re-sending only the
// tiles whose pixels changed.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/viewport.hpp"
#include "kitty/compressor.hpp"
#include "kitty/tile.hpp"

namespace facetview {

class Presenter {
 public:
  // Deletes every placement on the screen and frees the images' data.
  static constexpr std::string_view delete_all_sequence = "\x1b_Ga=d,d=A,q=2\x1b\\";
  static constexpr std::int32_t initial_z = -1000000000;
  // Tile size in cells.
  static constexpr std::uint16_t tile_cols = 8;
  static constexpr std::uint16_t tile_rows = 4;

  Presenter() = default;

  // frame holds width * height * 4 bytes. Writes the changed tiles and flushes
  // once; an unchanged frame writes nothing. When the frame fails half-way (an
  // output failure, an error, an exception) the rest of it is discarded and
  // the last frame forgotten: the next call rebuilds the whole screen.
  Status present_rgba(ByteOutput& output, std::span<const std::uint8_t> frame, std::uint32_t width,
                      std::uint32_t height, Viewport viewport);

  // Forgets the last frame, so the next present rebuilds and sends every tile.
  void reset();

  std::int32_t next_z() const { return next_z_; }
  bool has_frame_state() const { return frame_state_.has_value(); }

 protected:
  // z-index that the next placement gets.
  std::int32_t next_z_ = initial_z;

 private:
  // What was presented last.
  struct FrameState {
    std::vector<std::uint8_t> previous;  // copy of the last frame, all zero after a rebuild
    std::vector<Tile> tiles;             // row-major; a tile's position is its index
    Viewport viewport;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
  };

  // Discards the rest of a frame and forgets the last one, unless dismissed
  // once the frame is out whole.
  class AbandonedFrame {
   public:
    AbandonedFrame(Presenter& presenter, ByteOutput& output)
        : presenter_(&presenter), output_(output) {}
    AbandonedFrame(const AbandonedFrame&) = delete;
    AbandonedFrame& operator=(const AbandonedFrame&) = delete;
    ~AbandonedFrame();
    void dismiss() { presenter_ = nullptr; }

   private:
    Presenter* presenter_;
    ByteOutput& output_;
  };

  bool frame_state_fits(std::size_t frame_size, std::uint32_t width, std::uint32_t height,
                        Viewport viewport) const;
  Status rebuild(ByteOutput& output, std::size_t frame_size, std::uint32_t width,
                 std::uint32_t height, Viewport viewport);
  void collect_changed_tiles(std::span<const std::uint8_t> frame);
  void encode_changed_tiles(std::span<const std::uint8_t> frame);
  Status send_tile(ByteOutput& output, std::size_t index, const std::string& payload);

  std::optional<FrameState> frame_state_;

  // Scratch reused from frame to frame; holds nothing between calls that
  // matters. The changed tiles are compressed on every core (worker_pool.hpp),
  // each worker with pixels and a compressor of its own, and their payloads
  // sent in tile order once all are ready.
  struct Encoder {
    std::vector<std::uint8_t> tile_pixels;
    std::unique_ptr<Compressor> compressor = make_compressor();
  };
  std::vector<std::size_t> changed_tiles_;
  std::vector<Encoder> encoders_;
  std::vector<std::string> payloads_;           // Base64 of each changed tile, in their order
  std::vector<std::optional<Error>> failures_;  // why a payload could not be made
};

}  // namespace facetview
