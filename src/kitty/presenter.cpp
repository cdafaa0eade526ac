#include "kitty/presenter.hpp"

#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "common/frame_compare.hpp"
#include "common/rgba.hpp"
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

// Cursor positions count from 1 and wrap like the terminal's 16-bit cells.
std::uint16_t screen_coordinate(std::uint16_t viewport_offset, std::uint16_t cell_offset) {
  return static_cast<std::uint16_t>(viewport_offset + cell_offset + 1);
}

}  // namespace

Status Presenter::present_rgba(ByteOutput& output, std::span<const std::uint8_t> frame,
                               std::uint32_t width, std::uint32_t height, Viewport viewport) {
  // Tiles are cut out of the frame by its width and height, so a frame of any
  // other length would be read out of bounds.
  if (Status sized = check_frame_size(frame.size(), width, height); !sized) return sized;
  // Until the frame is out whole, the screen may hold any part of it.
  AbandonedFrame abandoned(*this, output);
  const bool rebuilding = !frame_state_fits(frame.size(), width, height, viewport);
  if (rebuilding) {
    if (Status rebuilt = rebuild(output, frame.size(), width, height, viewport); !rebuilt) {
      return rebuilt;
    }
  }
  collect_changed_tiles(frame);
  encode_changed_tiles(frame);
  for (std::size_t changed = 0; changed < changed_tiles_.size(); ++changed) {
    if (failures_[changed]) return std::move(*failures_[changed]);
    if (Status sent = send_tile(output, changed_tiles_[changed], payloads_[changed]); !sent) {
      return sent;
    }
  }
  // An unchanged frame writes nothing; anything written goes out now, so that
  // nothing waits in the output between frames.
  if (rebuilding || !changed_tiles_.empty()) {
    if (Status flushed = output.flush(); !flushed) return flushed;
  }
  std::copy(frame.begin(), frame.end(), frame_state_->previous.begin());
  abandoned.dismiss();
  return Status::success();
}

void Presenter::reset() {
  frame_state_.reset();
  next_z_ = initial_z;
}

Presenter::AbandonedFrame::~AbandonedFrame() {
  if (presenter_ == nullptr) return;
  output_.discard();
  presenter_->reset();
}

bool Presenter::frame_state_fits(std::size_t frame_size, std::uint32_t width, std::uint32_t height,
                                 Viewport viewport) const {
  return frame_state_ && frame_state_->width == width && frame_state_->height == height &&
         frame_state_->viewport == viewport && frame_state_->previous.size() == frame_size;
}

Status Presenter::rebuild(ByteOutput& output, std::size_t frame_size, std::uint32_t width,
                          std::uint32_t height, Viewport viewport) {
  if (Status deleted = output.write_all(delete_all_sequence); !deleted) return deleted;
  reset();

  // A viewport without columns or rows has no tiles; any width divides among
  // its one notional cell.
  const std::uint32_t cols = std::max<std::uint32_t>(viewport.cols, 1);
  const std::uint32_t rows = std::max<std::uint32_t>(viewport.rows, 1);
  if (width % cols != 0 || height % rows != 0) return cell_alignment_error(width, height, viewport);

  // Built aside first: if memory runs out, the presenter keeps no frame state
  // and the next call rebuilds.
  FrameState state;
  state.tiles = build_tile_grid(viewport, tile_cols, tile_rows, width / cols, height / rows);
  state.previous.assign(frame_size, 0);
  state.viewport = viewport;
  state.width = width;
  state.height = height;
  frame_state_ = std::move(state);
  return Status::success();
}

void Presenter::collect_changed_tiles(std::span<const std::uint8_t> frame) {
  changed_tiles_.clear();
  const FrameState& state = *frame_state_;
  const std::size_t row_stride = std::size_t{state.width} * bytes_per_pixel;
  // A row of tiles spans whole frame rows, so one comparison of its bytes
  // settles every tile in it when nothing there changed, the usual case.
  for (std::size_t first = 0; first < state.tiles.size();) {
    std::size_t end = first + 1;
    while (end < state.tiles.size() && state.tiles[end].cell_col != 0) ++end;
    const Tile& leader = state.tiles[first];
    const std::size_t band_offset = leader.y * row_stride;
    const std::size_t band_size = leader.pixel_height * row_stride;
    const bool band_changed =
        band_size != 0 && std::memcmp(frame.data() + band_offset,
                                      state.previous.data() + band_offset, band_size) != 0;
    for (std::size_t index = first; index < end; ++index) {
      const Tile& tile = state.tiles[index];
      if (!tile.shown ||
          (band_changed && tile_pixels_differ(tile, frame, state.previous, state.width))) {
        changed_tiles_.push_back(index);
      }
    }
    first = end;
  }
}

void Presenter::encode_changed_tiles(std::span<const std::uint8_t> frame) {
  const std::size_t changed = changed_tiles_.size();
  // Everything the workers touch exists before they start.
  if (encoders_.size() < thread_count()) encoders_.resize(thread_count());
  if (payloads_.size() < changed) payloads_.resize(changed);
  failures_.assign(changed, std::nullopt);
  const FrameState& state = *frame_state_;
  run_in_parallel(changed, [&](std::size_t position, std::size_t worker) {
    Encoder& encoder = encoders_[worker];
    gather_tile_pixels(state.tiles[changed_tiles_[position]], frame, state.width,
                       encoder.tile_pixels);
    Result<std::span<const std::uint8_t>> compressed =
        encoder.compressor->compress(encoder.tile_pixels);
    if (!compressed) {
      failures_[position] = std::move(compressed).error();
      return;
    }
    base64_encode(*compressed, payloads_[position]);
  });
}

Status Presenter::send_tile(ByteOutput& output, std::size_t index, const std::string& payload) {
  Tile& tile = frame_state_->tiles[index];
  const std::uint8_t new_slot = tile.shown && tile.slot == 0 ? 1 : 0;
  const std::uint32_t new_id = tile_image_id(index, new_slot);

  if (Status status = write_transmit(output, new_id, tile.pixel_width, tile.pixel_height, payload);
      !status) {
    return status;
  }
  if (Status status =
          write_cursor_position(output, screen_coordinate(tile.viewport_row, tile.cell_row),
                                screen_coordinate(tile.viewport_col, tile.cell_col));
      !status) {
    return status;
  }
  if (Status status = write_place(output, new_id, tile.cell_cols, tile.cell_rows, next_z_);
      !status) {
    return status;
  }
  if (tile.shown) {
    if (Status status = write_delete_image(output, tile_image_id(index, tile.slot)); !status) {
      return status;
    }
  }
  tile.shown = true;
  tile.slot = new_slot;
  // Placements made after the top z-index share it rather than wrap below.
  if (next_z_ < std::numeric_limits<std::int32_t>::max()) ++next_z_;
  return Status::success();
}

}  // namespace facetview
