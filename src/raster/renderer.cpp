#include "raster/renderer.hpp"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>
#include <utility>
#include <variant>

#include "common/worker_pool.hpp"
#include "raster/axis_triad.hpp"
#include "raster/background.hpp"
#include "raster/edge_overlay.hpp"
#include "raster/frame_values.hpp"
#include "raster/triangle_batch.hpp"

namespace facetview {

namespace {

constexpr float kNothingDrawn = std::numeric_limits<float>::infinity();

// Fewer triangles than this per thread are drawn faster by one thread than
// shared out and merged.
constexpr std::size_t kTrianglesPerShare = 4096;
// The buffers of the shares after the first may take this much memory in all.
constexpr std::uint64_t kShareBufferBytes = std::uint64_t{512} << 20;
constexpr std::uint64_t kShareBytesPerPixel = 4 + sizeof(float);

std::size_t checked_pixel_count(std::uint32_t width, std::uint32_t height) {
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels > Renderer::kMaxPixels) throw std::bad_alloc();
  return static_cast<std::size_t>(pixels);
}

// Band `index` when `rows` are cut into `bands` nearly equal bands.
RowSpan band_rows(std::size_t index, std::size_t bands, RowSpan rows) {
  const auto row = [&](std::size_t band) {
    return static_cast<std::uint32_t>(rows.first +
                                      std::uint64_t{rows.end - rows.first} * band / bands);
  };
  return {row(index), row(index + 1)};
}

// Where the share's depth is strictly below the frame's, the frame takes the
// share's depth and colour; the share's depths are cleared on the way, for
// its next frame. Written without branches, so that it runs many pixels at a
// time.
void take_nearer(float* __restrict frame_depth, std::uint8_t* __restrict frame_rgba,
                 float* __restrict share_depth, const std::uint8_t* __restrict share_rgba,
                 std::size_t pixels) {
  for (std::size_t pixel = 0; pixel < pixels; ++pixel) {
    const float offered = share_depth[pixel];
    share_depth[pixel] = kNothingDrawn;
    const float kept = frame_depth[pixel];
    // All ones where the share's depth is nearer: std::min keeps `kept` on a tie.
    const std::uint32_t nearer = 0u - static_cast<std::uint32_t>(offered < kept);
    frame_depth[pixel] = std::min(kept, offered);
    std::uint32_t kept_colour, offered_colour;
    std::memcpy(&kept_colour, frame_rgba + pixel * 4, 4);
    std::memcpy(&offered_colour, share_rgba + pixel * 4, 4);
    const std::uint32_t colour = (offered_colour & nearer) | (kept_colour & ~nearer);
    std::memcpy(frame_rgba + pixel * 4, &colour, 4);
  }
}

}  // namespace

Renderer::Renderer(std::uint32_t width, std::uint32_t height)
    : framebuffer_(checked_pixel_count(width, height) * 4, 0),
      depth_(checked_pixel_count(width, height), kNothingDrawn),
      width_(width),
      height_(height),
      background_(framebuffer_.size()) {}

void Renderer::resize(std::uint32_t width, std::uint32_t height) {
  if (width == width_ && height == height_) return;
  const std::size_t pixels = checked_pixel_count(width, height);
  // All reservations come first, so a failure leaves size and contents as
  // they were; resizing within the reserved capacity cannot throw.
  framebuffer_.reserve(pixels * 4);
  depth_.reserve(pixels);
  background_.reserve(pixels * 4);
  framebuffer_.resize(pixels * 4, 0);
  depth_.resize(pixels, kNothingDrawn);
  background_.resize(pixels * 4);
  background_painted_ = false;
  width_ = width;
  height_ = height;
}

void Renderer::render(const Mesh& mesh, const AnyCamera& camera, Overlays overlays) {
  // A frame without pixels gets no colour, and its projection (aspect 0)
  // would be meaningless.
  if (width_ == 0 || height_ == 0) {
    std::fill(depth_.begin(), depth_.end(), kNothingDrawn);
    return;
  }
  if (!background_painted_) {
    paint_background(background_, width_, height_);
    background_painted_ = true;
  }
  const FrameValues frame = std::visit(
      [&](const auto& chosen) { return make_frame_values(chosen, width_, height_); }, camera);
  draw_shared_out(mesh.triangles, mesh.colours, frame);
  const FrameBuffers buffers{framebuffer_, depth_, width_};
  if (overlays.edges) draw_edge_overlay(edges_of(mesh), frame, buffers);
  if (overlays.axis_triad) draw_axis_triad(frame, buffers);
}

void Renderer::draw_shared_out(std::span<const Triangle> triangles,
                               std::span<const FaceColour> colours, const FrameValues& frame) {
  // Colours that do not match the triangles one for one are not the mesh's.
  if (colours.size() != triangles.size()) colours = {};
  const std::size_t shares = prepare_shares(triangles.size());
  if (shares == 1) {
    const std::size_t bands = std::min<std::size_t>(thread_count(), height_);
    run_in_parallel(bands, [&](std::size_t band, std::size_t) {
      const auto [first, end] = band_rows(band, bands, {0, height_});
      prepare_frame_rows(first, end);
    });
    if (!triangles.empty()) {
      draw_triangles(triangles, frame, FrameBuffers{framebuffer_, depth_, width_}, colours);
    }
    return;
  }

  // Share k draws the k-th run of triangles (cut where the last frames took
  // equally long, see share_balance.hpp); every pixel then takes the
  // nearest depth over the shares in list order, with the earlier share
  // keeping it at equal depth, which is what one thread drawing the whole
  // list in order leaves there.
  const std::vector<std::size_t>& cuts = balance_.cuts(triangles.size(), shares);
  share_seconds_.assign(shares, 0.0);
  run_in_parallel(shares, [&](std::size_t share, std::size_t) {
    const auto started = std::chrono::steady_clock::now();
    const std::size_t begin_triangle = cuts[share];
    const std::size_t end_triangle = cuts[share + 1];
    const auto run = triangles.subspan(begin_triangle, end_triangle - begin_triangle);
    const auto run_colours =
        colours.empty() ? colours : colours.subspan(begin_triangle, end_triangle - begin_triangle);
    if (share == 0) {
      // Preparing the frame counts in this share's time, so the cuts give
      // it fewer triangles for it.
      prepare_frame_rows(0, height_);
      draw_triangles(run, frame, FrameBuffers{framebuffer_, depth_, width_}, run_colours);
    } else {
      ShareBuffers& buffers = shares_[share - 1];
      // Only a frame cut short between draw and merge leaves depths behind.
      if (!buffers.drawn.empty())
        std::fill(buffers.depth.begin(), buffers.depth.end(), kNothingDrawn);
      // Should the draw be cut short, any row may hold depths by then.
      buffers.drawn = {0, height_};
      buffers.drawn = draw_triangles(run, frame, FrameBuffers{buffers.rgba, buffers.depth, width_},
                                     run_colours);
    }
    share_seconds_[share] =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  });
  balance_.record(share_seconds_);
  // The bands cut the rows the shares drew, which may be few.
  RowSpan drawn;
  for (std::size_t share = 0; share + 1 < shares; ++share) {
    drawn.include(shares_[share].drawn.first, shares_[share].drawn.end);
  }
  const std::size_t merge_bands = std::min<std::size_t>(thread_count(), drawn.end - drawn.first);
  run_in_parallel(merge_bands, [&](std::size_t band, std::size_t) {
    const auto [first, end] = band_rows(band, merge_bands, drawn);
    merge_shares(shares, first, end);
  });
  for (std::size_t share = 0; share + 1 < shares; ++share) shares_[share].drawn = {};
}

std::size_t Renderer::prepare_shares(std::size_t triangles) {
  const std::size_t pixels = depth_.size();
  const std::uint64_t affordable =
      kShareBufferBytes / (std::uint64_t{pixels} * kShareBytesPerPixel);
  std::size_t shares = std::min<std::size_t>(
      {thread_count(), std::max<std::size_t>(triangles / kTrianglesPerShare, 1),
       static_cast<std::size_t>(std::min<std::uint64_t>(affordable + 1, kMaxThreads))});
  try {
    if (shares_.size() < shares - 1) shares_.resize(shares - 1);
    for (std::size_t share = 0; share + 1 < shares; ++share) {
      ShareBuffers& buffers = shares_[share];
      buffers.rgba.resize(pixels * 4);
      // Another size lays the rows out anew: every depth starts cleared.
      if (buffers.depth.size() != pixels) {
        buffers.depth.assign(pixels, kNothingDrawn);
        buffers.drawn = {};
      }
    }
  } catch (const std::bad_alloc&) {
    // Fewer threads draw what the memory does not stretch to.
    shares = 1;
  }
  return shares;
}

void Renderer::prepare_frame_rows(std::uint32_t first_row, std::uint32_t end_row) {
  const std::size_t first = std::size_t{first_row} * width_;
  const std::size_t end = std::size_t{end_row} * width_;
  std::fill(depth_.begin() + first, depth_.begin() + end, kNothingDrawn);
  std::copy(background_.begin() + first * 4, background_.begin() + end * 4,
            framebuffer_.begin() + first * 4);
}

void Renderer::merge_shares(std::size_t shares, std::uint32_t first_row, std::uint32_t end_row) {
  for (std::size_t share = 0; share + 1 < shares; ++share) {
    ShareBuffers& drawn = shares_[share];
    const std::size_t first = std::size_t{std::max(first_row, drawn.drawn.first)} * width_;
    const std::size_t end = std::size_t{std::min(end_row, drawn.drawn.end)} * width_;
    if (first < end) {
      take_nearer(depth_.data() + first, framebuffer_.data() + first * 4,
                  drawn.depth.data() + first, drawn.rgba.data() + first * 4, end - first);
    }
  }
}

}  // namespace facetview
