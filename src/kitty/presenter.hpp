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
#include "common/frame_history.hpp"
#include "common/presenter.hpp"
#include "kitty/compressor.hpp"
#include "kitty/image_range.hpp"
#include "kitty/tile.hpp"

namespace facetview {

class KittyPresenter final : public Presenter {
 public:
  // Deletes every placement on the screen and frees the images' data.
  static constexpr std::string_view kDeleteAllSequence = "\x1b_Ga=d,d=A,q=2\x1b\\";
  // Tile size in cells.
  static constexpr std::uint16_t kTileCols = 8;
  static constexpr std::uint16_t kTileRows = 4;

  explicit KittyPresenter(ImageRange range = {}) : range_(range), next_z_(range.first_z()) {}

  // The frame is cut into tiles by the viewport's cells (the screen layout is
  // not used: the terminal scales each image to its cells). Writes the
  // changed tiles and flushes once. A new size or viewport starts afresh:
  // the shared range deletes every image first, a private one its own.
  Status present(ByteOutput& output, std::span<const std::uint8_t> frame,
                 const FrameGeometry& geometry) override;

  // The shared range deletes every image (also when it showed none); a
  // private one deletes the images of its tiles.
  Status clear(ByteOutput& output) override;

  void reset() override;

 private:
  Status start_afresh(ByteOutput& output, const FrameGeometry& geometry);
  Status delete_own_images(ByteOutput& output);
  // Compares every tile with the last frame (unless `everything` changed)
  // and compresses those that changed, on every core.
  void encode_changed_tiles(std::span<const std::uint8_t> frame, std::uint32_t width,
                            bool everything);
  Status send_tile(ByteOutput& output, std::size_t index, const std::string& payload);

  ImageRange range_;
  std::int32_t next_z_;  // of the next placement
  FrameHistory history_;
  std::vector<Tile> tiles_;  // row-major; a tile's position is its index
  // Tiles, counted from index 0, whose images may be on screen: at most the
  // larger of the last two grids while a fresh start is under way.
  std::size_t possibly_shown_ = 0;

  // Scratch reused from frame to frame; holds nothing between calls that
  // matters. The changed tiles are compressed on every core (worker_pool.hpp),
  // each worker with pixels and a compressor of its own, and their payloads
  // sent in tile order once all are ready.
  struct Encoder {
    std::vector<std::uint8_t> tile_pixels;
    std::unique_ptr<Compressor> compressor = make_compressor();
  };
  std::vector<Encoder> encoders_;
  // Per tile, by index: whether it changed, and then its Base64 payload or
  // why none could be made.
  std::vector<std::uint8_t> changed_;
  std::vector<std::string> payloads_;
  std::vector<std::optional<Error>> failures_;
  std::string cursor_text_;
};

}  // namespace facetview
