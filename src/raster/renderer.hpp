// The software rasterizer: colour and depth buffers and the drawing of a mesh
// under a camera.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "model/mesh.hpp"
#include "raster/frame_values.hpp"
#include "raster/orbit_camera.hpp"
#include "raster/share_balance.hpp"
#include "raster/triangle_batch.hpp"

namespace facetview {

// What may be drawn over the shaded triangles.
struct Overlays {
  bool edges = false;       // the mesh's creases, borders and silhouette as lines
  bool axis_triad = false;  // the model's X, Y and Z axes in red, green and blue, bottom left
};

class Renderer {
 public:
  // width x height pixels of transparent black, every depth +infinity.
  Renderer(std::uint32_t width, std::uint32_t height);

  // Changes the size in place; the same size touches nothing, a shrink keeps
  // the storage. Throws std::bad_alloc when the buffers cannot be allocated
  // (or exceed kMaxPixels), leaving the renderer as it was.
  void resize(std::uint32_t width, std::uint32_t height);

  // Draws one whole frame: background gradient, then every triangle, then the
  // overlays asked for. The triangles are shared out over the threads of
  // thread_count() (worker_pool.hpp), each share drawn into buffers of its
  // own and the shares then merged in list order, so the pixels are those of
  // one thread. Allocates nothing once a frame of this size and share count
  // was drawn, except that the edges of a mesh are found (and kept with it)
  // the first time they are drawn.
  void render(const Mesh& mesh, const AnyCamera& camera, Overlays overlays = {});

  // Row-major RGBA, top row first: width * height * 4 bytes.
  const std::vector<std::uint8_t>& framebuffer() const { return framebuffer_; }
  // View depth of the nearest surface per pixel; +infinity where nothing was drawn.
  const std::vector<float>& depth() const { return depth_; }
  std::uint32_t width() const { return width_; }
  std::uint32_t height() const { return height_; }

  // Frames larger than this are refused with std::bad_alloc rather than
  // attempted: the colour, depth and background buffers together take 12
  // bytes a pixel.
  static constexpr std::uint64_t kMaxPixels = std::uint64_t{1} << 28;

 private:
  std::vector<std::uint8_t> framebuffer_;
  std::vector<float> depth_;
  std::uint32_t width_ = 0;
  std::uint32_t height_ = 0;
  // The background depends on the size alone: it is painted here once per
  // size and copied into every frame.
  std::vector<std::uint8_t> background_;
  bool background_painted_ = false;

  // The colour and depth of one share of the triangles after the first,
  // which draws into the frame itself. Every depth outside `drawn` is
  // +infinity, so only those rows need merging and clearing.
  struct ShareBuffers {
    std::vector<std::uint8_t> rgba;
    std::vector<float> depth;
    RowSpan drawn;
  };
  void draw_shared_out(std::span<const Triangle> triangles, std::span<const FaceColour> colours,
                       const FrameValues& frame);
  std::size_t prepare_shares(std::size_t triangles);
  void prepare_frame_rows(std::uint32_t first_row, std::uint32_t end_row);
  void merge_shares(std::size_t shares, std::uint32_t first_row, std::uint32_t end_row);
  std::vector<ShareBuffers> shares_;
  ShareBalance balance_;
  std::vector<double> share_seconds_;
};

}  // namespace facetview
