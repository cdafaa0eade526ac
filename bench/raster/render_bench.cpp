// Frame times of the renderer beside the cost of merely touching its buffers.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "raster/frame_values.hpp"
#include "raster/mesh_edges.hpp"
#include "raster/renderer.hpp"
#include "sphere_mesh.hpp"

namespace facetview {
namespace {

// A closed UV sphere of 1,000,000 triangles.
const Mesh& million_triangle_sphere() {
  static const Mesh mesh = testing::uv_sphere(501, 1000, 0.95f);
  return mesh;
}

void count_pixels(benchmark::State& state, std::uint32_t width, std::uint32_t height) {
  const double pixels = double(width) * height;
  state.counters["ns_per_pixel"] = benchmark::Counter(
      pixels * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// Baseline: write every colour byte and every depth entry once.
void BM_WriteBuffersOnce(benchmark::State& state) {
  const auto width = static_cast<std::uint32_t>(state.range(0));
  const auto height = static_cast<std::uint32_t>(state.range(1));
  std::vector<std::uint8_t> colour(std::size_t{width} * height * 4);
  std::vector<float> depth(std::size_t{width} * height);
  for (auto _ : state) {
    std::memset(colour.data(), 7, colour.size());
    std::fill(depth.begin(), depth.end(), std::numeric_limits<float>::infinity());
    benchmark::DoNotOptimize(colour.data());
    benchmark::DoNotOptimize(depth.data());
    benchmark::ClobberMemory();
  }
  count_pixels(state, width, height);
}
BENCHMARK(BM_WriteBuffersOnce)->Args({800, 480})->Args({320, 192})->Unit(benchmark::kMillisecond);

void render_frames(benchmark::State& state, const Mesh& mesh) {
  const auto width = static_cast<std::uint32_t>(state.range(0));
  const auto height = static_cast<std::uint32_t>(state.range(1));
  Renderer renderer(width, height);
  for (auto _ : state) {
    renderer.resize(width, height);
    renderer.render(mesh, Camera{});
    benchmark::DoNotOptimize(renderer.framebuffer().data());
    benchmark::ClobberMemory();
  }
  count_pixels(state, width, height);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mesh.triangles.size()));
}

void BM_RenderBackgroundOnly(benchmark::State& state) {
  render_frames(state, Mesh{});
}
BENCHMARK(BM_RenderBackgroundOnly)->Args({800, 480})->Unit(benchmark::kMillisecond);

void BM_RenderDemoHull(benchmark::State& state) {
  render_frames(state, Mesh::demo_mesh());
}
BENCHMARK(BM_RenderDemoHull)->Args({800, 480})->Unit(benchmark::kMillisecond);

// Baseline: the least any renderer does per triangle, turning its three
// corners into view space.
void BM_TransformSphereCorners(benchmark::State& state) {
  const Mesh& mesh = million_triangle_sphere();
  const FrameValues frame = make_frame_values(Camera{}, 800, 480);
  for (auto _ : state) {
    float sum = 0.0f;
    for (const Triangle& triangle : mesh.triangles) {
      for (const Vec3& corner : triangle.vertices) sum += to_view_space(frame, corner).z;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mesh.triangles.size()));
}
BENCHMARK(BM_TransformSphereCorners)->Unit(benchmark::kMillisecond);

void BM_RenderMillionTriangleSphere(benchmark::State& state) {
  render_frames(state, million_triangle_sphere());
}
BENCHMARK(BM_RenderMillionTriangleSphere)
    ->Args({800, 480})
    ->Args({320, 192})
    ->Unit(benchmark::kMillisecond);

// The same sphere with a colour of its own on every triangle: compare with
// BM_RenderMillionTriangleSphere of the same run.
void BM_RenderPaintedMillionTriangleSphere(benchmark::State& state) {
  static const Mesh painted = [] {
    Mesh mesh = million_triangle_sphere();
    mesh.colours.resize(mesh.triangles.size());
    for (std::size_t i = 0; i < mesh.colours.size(); ++i) {
      mesh.colours[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i >> 8), 200};
    }
    return mesh;
  }();
  render_frames(state, painted);
}
BENCHMARK(BM_RenderPaintedMillionTriangleSphere)->Args({800, 480})->Unit(benchmark::kMillisecond);

// What the first frame with edges pays once per mesh before it draws.
void BM_FindMillionTriangleSphereEdges(benchmark::State& state) {
  const Mesh& mesh = million_triangle_sphere();
  for (auto _ : state) {
    const MeshEdges edges = find_mesh_edges(mesh);
    benchmark::DoNotOptimize(edges.edges.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * mesh.triangles.size()));
}
BENCHMARK(BM_FindMillionTriangleSphereEdges)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace facetview

BENCHMARK_MAIN();
