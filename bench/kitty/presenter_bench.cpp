// Cost of presenting an 800 x 480 frame (160 x 48 cells of 5 x 10 pixels),
// beside the two costs it is measured against: compressing the whole frame
// once with zlib level 1, and comparing the whole frame with memcmp.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "common/frame_baselines.hpp"
#include "kitty/compressor.hpp"
#include "kitty/presenter.hpp"
#include "kitty/tile.hpp"
#include "kitty/zlib_compressor.hpp"

namespace facetview {
namespace {

constexpr std::uint32_t kWidth = 800;
constexpr std::uint32_t kHeight = 480;
constexpr Viewport kViewport{0, 0, 160, 48};

struct Disc {
  float cx, cy, radius;
  std::uint8_t r, g, b;
};

std::uint8_t channel(float value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f);
}

// A rendered-looking frame: the renderer's background of a vertical blend with
// a glow and a highlight, under flat-shaded discs standing in for a model's
// faces. shade lifts the background's red a little.
std::vector<std::uint8_t> make_frame(float shade, std::span<const Disc> discs) {
  std::vector<std::uint8_t> frame(std::size_t{kWidth} * kHeight * 4);
  for (std::uint32_t y = 0; y < kHeight; ++y) {
    const float t = static_cast<float>(y) / kHeight;
    const float r2 = (t - 0.42f) * (t - 0.42f);
    const float p = std::pow(t, 1.25f);
    const float base[3] = {p * 0.14f + (1 - p) * 0.05f, p * 0.09f + (1 - p) * 0.08f,
                           p * 0.08f + (1 - p) * 0.12f};
    const float tint[3] = {0.21f, 0.16f, 0.11f};
    for (std::uint32_t x = 0; x < kWidth; ++x) {
      const float u = static_cast<float>(x) / kWidth - 0.5f;
      const float g1 = std::clamp(1.08f - (2.8f * r2 + 1.8f * u * u), 0.0f, 1.0f);
      const float g2 = std::clamp(1.0f - (8.5f * r2 + 6.0f * u * u), 0.0f, 1.0f);
      const float s = 0.35f * g2 * g2;
      const float a = 0.45f * g1 + 0.55f + shade;
      std::uint8_t* pixel = frame.data() + (std::size_t{y} * kWidth + x) * 4;
      for (int c = 0; c < 3; ++c) pixel[c] = channel(a * (base[c] + s * tint[c]));
      pixel[3] = 255;
      for (const Disc& disc : discs) {
        const float dx = static_cast<float>(x) - disc.cx;
        const float dy = static_cast<float>(y) - disc.cy;
        if (dx * dx + dy * dy > disc.radius * disc.radius) continue;
        // Facets: the shade steps with the angle around the centre.
        const int facet = static_cast<int>((std::atan2(dy, dx) + 3.2f) * 4.0f);
        pixel[0] = static_cast<std::uint8_t>(disc.r + facet * 9 + (shade > 0));
        pixel[1] = static_cast<std::uint8_t>(disc.g + facet * 7);
        pixel[2] = static_cast<std::uint8_t>(disc.b + facet * 5);
      }
    }
  }
  return frame;
}

const Disc scene[] = {
    {400, 240, 170, 120, 90, 40}, {180, 150, 70, 40, 140, 90}, {640, 360, 90, 150, 60, 120}};
const Disc moved_scene[] = {
    {400, 240, 170, 120, 90, 40}, {200, 160, 70, 40, 140, 90}, {640, 360, 90, 150, 60, 120}};

struct Frames {
  std::vector<std::uint8_t> base = make_frame(0, scene);
  std::vector<std::uint8_t> every_tile_changed = make_frame(0.08f, scene);
  std::vector<std::uint8_t> some_tiles_changed = make_frame(0, moved_scene);
};

const Frames& frames() {
  static const Frames instance;
  return instance;
}

// Alternates between the base frame and other, so each call presents a change.
void present_alternating(benchmark::State& state, const std::vector<std::uint8_t>& other) {
  KittyPresenter presenter;
  CountingOutput output;
  if (!presenter.present(output, frames().base, {kWidth, kHeight, kViewport, {}})) {
    state.SkipWithError("present failed");
    return;
  }
  output.written = 0;
  output.placements = 0;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    const std::vector<std::uint8_t>& frame = flip ? other : frames().base;
    if (!presenter.present(output, frame, {kWidth, kHeight, kViewport, {}})) {
      state.SkipWithError("present failed");
      return;
    }
  }
  state.counters["bytes_per_frame"] =
      benchmark::Counter(static_cast<double>(output.written), benchmark::Counter::kAvgIterations);
  state.counters["tiles_per_frame"] = benchmark::Counter(static_cast<double>(output.placements),
                                                         benchmark::Counter::kAvgIterations);
}

void BM_PresentEveryTileChanged(benchmark::State& state) {
  present_alternating(state, frames().every_tile_changed);
}
BENCHMARK(BM_PresentEveryTileChanged)->Unit(benchmark::kMillisecond);

void BM_PresentSomeTilesChanged(benchmark::State& state) {
  present_alternating(state, frames().some_tiles_changed);
}
BENCHMARK(BM_PresentSomeTilesChanged)->Unit(benchmark::kMillisecond);

void BM_PresentIdenticalFrame(benchmark::State& state) {
  present_alternating(state, frames().base);
}
BENCHMARK(BM_PresentIdenticalFrame)->Unit(benchmark::kMillisecond);

// Baseline: the whole frame as one zlib level 1 stream.
void BM_BaselineZlibWholeFrame(benchmark::State& state) {
  measure_zlib_whole_frame(state, frames().every_tile_changed);
}
BENCHMARK(BM_BaselineZlibWholeFrame)->Unit(benchmark::kMillisecond);

// Not a target, a floor: the compressor alone on every tile of the frame, one
// stream per tile, without Base64, sequences or the frame comparison and copy.
void compress_every_tile(benchmark::State& state, Compressor& compressor) {
  const std::vector<std::uint8_t>& frame = frames().every_tile_changed;
  const std::vector<Tile> tiles =
      build_tile_grid(kViewport, KittyPresenter::kTileCols, KittyPresenter::kTileRows,
                      kWidth / kViewport.cols, kHeight / kViewport.rows);
  std::vector<std::uint8_t> pixels;
  std::size_t compressed_bytes = 0;
  for (auto _ : state) {
    compressed_bytes = 0;
    for (const Tile& tile : tiles) {
      gather_tile_pixels(tile, frame, kWidth, pixels);
      Result<std::span<const std::uint8_t>> compressed = compressor.compress(pixels);
      if (!compressed) {
        state.SkipWithError("compress failed");
        return;
      }
      compressed_bytes += compressed->size();
    }
  }
  state.counters["bytes_per_frame"] = static_cast<double>(compressed_bytes);
}

void BM_FloorZlibPerTile(benchmark::State& state) {
  ZlibCompressor compressor;
  compress_every_tile(state, compressor);
}
BENCHMARK(BM_FloorZlibPerTile)->Unit(benchmark::kMillisecond);

// The compressor the build ships: igzip where ISA-L was found.
void BM_FloorShippedCompressorPerTile(benchmark::State& state) {
  const std::unique_ptr<Compressor> compressor = make_compressor();
  compress_every_tile(state, *compressor);
}
BENCHMARK(BM_FloorShippedCompressorPerTile)->Unit(benchmark::kMillisecond);

// Baseline: one comparison of the whole frame with a copy.
void BM_BaselineMemcmpWholeFrame(benchmark::State& state) {
  measure_memcmp_whole_frame(state, frames().base);
}
BENCHMARK(BM_BaselineMemcmpWholeFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace facetview

BENCHMARK_MAIN();
