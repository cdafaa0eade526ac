#include "kitty/presenter.hpp"

#include <algorithm>
#include <string>

#include "common/frame_compare.hpp"
#include "common/rgba.hpp"
#include "common/terminal_text.hpp"
#include "common/worker_pool.hpp"
#include "kitty/base64.hpp"
#include "kitty/sequences.hpp"

namespace facetview {

namespace {

Error cell_alignment_error(std::uint32_t width, std::uint32_t height, Viewport viewport) {
  return Error("framebuffer size " + std::to_string(width) + "x" + std::to_string(height) +
               " is not cell-aligned for viewport " + std::to_string(viewport.cols) + "x" +
               std::to_string(viewport.rows) + " cells");
}

// Cursor positions on the wire count from 1 and wrap like the terminal's 16-bit cells.
std::uint16_t wire_coordinate(std::uint16_t viewport_offset, std::uint16_t cell_offset) {
  return static_cast<std::uint16_t>(viewport_offset + cell_offset + 1);
}

}  // namespace

Status KittyPresenter::present(ByteOutput& output, std::span<const std::uint8_t> frame,
                               const FrameGeometry& geometry) {
  // Tiles are cut out of the frame by its width and height, so a frame of any
  // other length would be read out of bounds.
  if (Status sized = check_frame_size(frame.size(), geometry.width, geometry.height); !sized) {
    return sized;
  }
  // Until the frame is out whole, the screen may hold any part of it.
  UnfinishedFrame unfinished(history_, output);
  const bool afresh = !history_.comparable(geometry.viewport, geometry.width, geometry.height);
  if (afresh) {
    if (Status started = start_afresh(output, geometry); !started) return started;
  }
  encode_changed_tiles(frame, geometry.width, afresh);
  bool any_changed = false;
  for (std::size_t index = 0; index < tiles_.size(); ++index) {
    if (!changed_[index]) continue;
    any_changed = true;
    if (failures_[index]) return std::move(*failures_[index]);
    if (Status sent = send_tile(output, index, payloads_[index]); !sent) return sent;
  }
  // An unchanged frame writes nothing; anything written goes out now, so that
  // nothing waits in the output between frames.
  if (afresh || any_changed) {
    if (Status flushed = output.flush(); !flushed) return flushed;
  }
  unfinished.finish(geometry.viewport, geometry.width, geometry.height);
  // What the last frame left behind is gone now.
  if (afresh) possibly_shown_ = tiles_.size();
  return Status::success();
}

Status KittyPresenter::clear(ByteOutput& output) {
  if (range_.shared()) {
    reset();
    return output.write_all(kDeleteAllSequence);
  }
  const Status deleted = delete_own_images(output);
  const std::size_t still_shown = possibly_shown_;
  reset();
  // After a failed write the images may still be there: the next clear or
  // fresh start deletes them again.
  if (!deleted) possibly_shown_ = still_shown;
  return deleted;
}

void KittyPresenter::reset() {
  history_.clear();
  tiles_.clear();
  possibly_shown_ = 0;
  next_z_ = range_.first_z();
}

Status KittyPresenter::start_afresh(ByteOutput& output, const FrameGeometry& geometry) {
  if (range_.shared()) {
    if (Status deleted = output.write_all(kDeleteAllSequence); !deleted) return deleted;
    reset();
  } else {
    // The tiles of the old grid are kept until the new one stands, so that a
    // frame abandoned from here on still knows which images to delete.
    if (Status deleted = delete_own_images(output); !deleted) return deleted;
    history_.clear();
    next_z_ = range_.first_z();
  }

  // A viewport without columns or rows has no tiles; any width divides among
  // its one notional cell.
  const Viewport viewport = geometry.viewport;
  const std::uint32_t cols = std::max<std::uint32_t>(viewport.cols, 1);
  const std::uint32_t rows = std::max<std::uint32_t>(viewport.rows, 1);
  if (geometry.width % cols != 0 || geometry.height % rows != 0) {
    return cell_alignment_error(geometry.width, geometry.height, viewport);
  }
  tiles_ = build_tile_grid(viewport, kTileCols, kTileRows, geometry.width / cols,
                           geometry.height / rows);
  possibly_shown_ = std::max(possibly_shown_, tiles_.size());
  return Status::success();
}

Status KittyPresenter::delete_own_images(ByteOutput& output) {
  // Both ids of every tile: after a frame abandoned half-way either may be on screen.
  for (std::size_t index = 0; index < possibly_shown_; ++index) {
    for (const std::uint8_t slot : {0, 1}) {
      if (Status deleted = write_delete_image(output, range_.image_id(index, slot)); !deleted) {
        return deleted;
      }
    }
  }
  return Status::success();
}

void KittyPresenter::encode_changed_tiles(std::span<const std::uint8_t> frame, std::uint32_t width,
                                          bool everything) {
  const std::size_t tiles = tiles_.size();
  // Everything the workers touch exists before they start.
  if (encoders_.size() < thread_count()) encoders_.resize(thread_count());
  if (payloads_.size() < tiles) payloads_.resize(tiles);
  changed_.assign(tiles, 0);
  failures_.assign(tiles, std::nullopt);
  // The remembered frame becomes this one tile by tile, each changed tile
  // copied in once compared; the tiles cover the frame.
  const std::span<std::uint8_t> remembered = history_.update_in_place(frame.size());
  run_in_parallel(tiles, [&](std::size_t index, std::size_t worker) {
    const Tile& tile = tiles_[index];
    if (!everything && tile.shown && !tile_pixels_differ(tile, frame, remembered, width)) return;
    changed_[index] = 1;
    copy_tile_pixels(tile, frame, remembered, width);
    Encoder& encoder = encoders_[worker];
    gather_tile_pixels(tile, frame, width, encoder.tile_pixels);
    Result<std::span<const std::uint8_t>> compressed =
        encoder.compressor->compress(encoder.tile_pixels);
    if (!compressed) {
      failures_[index] = std::move(compressed).error();
      return;
    }
    base64_encode(*compressed, payloads_[index]);
  });
}

Status KittyPresenter::send_tile(ByteOutput& output, std::size_t index,
                                 const std::string& payload) {
  Tile& tile = tiles_[index];
  const std::uint8_t new_slot = tile.shown && tile.slot == 0 ? 1 : 0;
  const std::uint32_t new_id = range_.image_id(index, new_slot);

  if (Status status = write_transmit(output, new_id, tile.pixel_width, tile.pixel_height, payload);
      !status) {
    return status;
  }
  cursor_text_.clear();
  append_wire_cursor_position(cursor_text_, wire_coordinate(tile.viewport_row, tile.cell_row),
                              wire_coordinate(tile.viewport_col, tile.cell_col));
  if (Status status = output.write_all(cursor_text_); !status) return status;
  if (Status status = write_place(output, new_id, tile.cell_cols, tile.cell_rows, next_z_);
      !status) {
    return status;
  }
  if (tile.shown) {
    if (Status status = write_delete_image(output, range_.image_id(index, tile.slot)); !status) {
      return status;
    }
  }
  tile.shown = true;
  tile.slot = new_slot;
  // Placements made after the range's top z-index share it rather than wrap below.
  if (next_z_ < range_.last_z()) ++next_z_;
  return Status::success();
}

}  // namespace facetview
