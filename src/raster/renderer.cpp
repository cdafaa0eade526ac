#include "raster/renderer.hpp"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <new>
#include <variant>

#include "raster/axis_triad.hpp"
#include "raster/background.hpp"
#include "raster/edge_overlay.hpp"
#include "raster/frame_values.hpp"
#include "raster/triangle_batch.hpp"

namespace facetview {

namespace {

constexpr float kNothingDrawn = std::numeric_limits<float>::infinity();

std::size_t checked_pixel_count(std::uint32_t width, std::uint32_t height) {
  const std::uint64_t pixels = std::uint64_t{width} * height;
  if (pixels > Renderer::max_pixels) throw std::bad_alloc();
  return static_cast<std::size_t>(pixels);
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
  std::fill(depth_.begin(), depth_.end(), kNothingDrawn);
  // A frame without pixels gets no colour, and its projection (aspect 0)
  // would be meaningless.
  if (width_ == 0 || height_ == 0) return;
  if (!background_painted_) {
    paint_background(background_, width_, height_);
    background_painted_ = true;
  }
  std::copy(background_.begin(), background_.end(), framebuffer_.begin());
  if (mesh.triangles.empty() && !overlays.axis_triad) return;

  const FrameValues frame = std::visit(
      [&](const auto& chosen) { return make_frame_values(chosen, width_, height_); }, camera);
  const FrameBuffers buffers{framebuffer_, depth_, width_};
  draw_triangles(mesh.triangles, frame, buffers, mesh.colours);
  if (overlays.edges) draw_edge_overlay(edges_of(mesh), frame, buffers);
  if (overlays.axis_triad) draw_axis_triad(frame, buffers);
}

}  // namespace facetview
