// The three ways of showing a frame side by side, at 160 x 48 cells and high
// quality: kitty images (800 x 480 pixels), sixel images for cells of 10 x 20
// pixels (1600 x 960 screen pixels, rendered at 800 x 480 and doubled) and
// half-block cells (160 x 96 pixels). Each on the same views of the demo hull:
// a frame where everything changed (the presenter forgot the last one) and a
// slowly turning one. Presentation only; the frames are rendered beforehand.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "common/frame_baselines.hpp"
#include "kitty/presenter.hpp"
#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

constexpr Viewport kTerminal{0, 0, 160, 48};
constexpr Quality kQuality = Quality::high;
constexpr TerminalDisplay kDisplay{10, 20, {}};
// Radians per frame of a slowly turning model.
constexpr float kTurnPerFrame = 0.01f;

// Two views of the demo hull one turning step apart, at the method's size.
struct Views {
  explicit Views(PresentMethod method) {
    TerminalSurface surface(kQuality, method);
    surface.update_display(kDisplay);
    const FrameSize size = surface.frame_size(kTerminal);
    width = size.width;
    height = size.height;
    Renderer renderer(width, height);
    const Mesh mesh = Mesh::demo_mesh();
    renderer.render(mesh, kDefaultCamera);
    first = renderer.framebuffer();
    Camera turned = kDefaultCamera;
    turned.yaw += kTurnPerFrame;
    renderer.render(mesh, turned);
    second = renderer.framebuffer();
  }
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> first;
  std::vector<std::uint8_t> second;
};

// One presenter of each kind behind the same call.
struct AnyPresenter {
  explicit AnyPresenter(PresentMethod method) : method(method) {}
  Status present(ByteOutput& output, std::span<const std::uint8_t> frame, const Views& views) {
    switch (method) {
      case PresentMethod::kitty:
        return kitty.present(output, frame, {views.width, views.height, kTerminal, {}});
      case PresentMethod::sixel:
        return sixel.present(
            output, frame,
            {views.width, views.height, kTerminal, sixel_layout(kQuality, kTerminal, kDisplay)});
      case PresentMethod::blocks:
        break;
    }
    return blocks.present(output, frame, {views.width, views.height, kTerminal, {}});
  }
  void forget() {
    kitty.reset();
    sixel.reset();
    blocks.reset();
  }
  PresentMethod method;
  KittyPresenter kitty;
  SixelPresenter sixel;
  BlocksPresenter blocks{ColourDepth::true_colour};
};

void report_bytes(benchmark::State& state, const CountingOutput& output) {
  state.counters["bytes_per_frame"] =
      benchmark::Counter(static_cast<double>(output.written), benchmark::Counter::kAvgIterations);
}

// Wall time of one whole frame, averaged over rounds.
double seconds_per_whole_frame(AnyPresenter& presenter, const Views& views, int rounds) {
  CountingOutput output;
  const auto start = std::chrono::steady_clock::now();
  for (int round = 0; round < rounds; ++round) {
    presenter.forget();
    if (!presenter.present(output, views.first, views)) return 0;
  }
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / rounds;
}

// The counter kitty_time_ratio relates the frame's time to a whole kitty frame
// of the same view, measured just before it.
void present_everything_changed(benchmark::State& state, PresentMethod method) {
  const Views kitty_views(PresentMethod::kitty);
  AnyPresenter kitty(PresentMethod::kitty);
  const double kitty_seconds = seconds_per_whole_frame(kitty, kitty_views, 20);
  const Views views(method);
  AnyPresenter presenter(method);
  CountingOutput output;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    presenter.forget();
    if (!presenter.present(output, views.first, views)) state.SkipWithError("present failed");
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  report_bytes(state, output);
  state.counters["kitty_time_ratio"] =
      seconds / static_cast<double>(state.iterations()) / kitty_seconds;
}

// Alternates between the two views, so every frame is one turning step. The
// counter full_redraw_share relates its bytes to a frame sent whole.
void present_turning(benchmark::State& state, PresentMethod method) {
  const Views views(method);
  AnyPresenter presenter(method);
  CountingOutput whole;
  if (!presenter.present(whole, views.first, views)) state.SkipWithError("present failed");
  CountingOutput output;
  bool flip = false;
  for (auto _ : state) {
    flip = !flip;
    if (!presenter.present(output, flip ? views.second : views.first, views)) {
      state.SkipWithError("present failed");
    }
  }
  report_bytes(state, output);
  state.counters["full_redraw_share"] =
      benchmark::Counter(static_cast<double>(output.written) / static_cast<double>(whole.written),
                         benchmark::Counter::kAvgIterations);
}

// The kitty presenter is the baseline that the others are measured against.
void BM_KittyEverythingChanged(benchmark::State& state) {
  present_everything_changed(state, PresentMethod::kitty);
}
BENCHMARK(BM_KittyEverythingChanged)->Unit(benchmark::kMillisecond);

void BM_SixelEverythingChanged(benchmark::State& state) {
  present_everything_changed(state, PresentMethod::sixel);
}
BENCHMARK(BM_SixelEverythingChanged)->Unit(benchmark::kMillisecond);

void BM_BlocksEverythingChanged(benchmark::State& state) {
  present_everything_changed(state, PresentMethod::blocks);
}
BENCHMARK(BM_BlocksEverythingChanged)->Unit(benchmark::kMillisecond);

void BM_KittyTurning(benchmark::State& state) {
  present_turning(state, PresentMethod::kitty);
}
BENCHMARK(BM_KittyTurning)->Unit(benchmark::kMillisecond);

void BM_SixelTurning(benchmark::State& state) {
  present_turning(state, PresentMethod::sixel);
}
BENCHMARK(BM_SixelTurning)->Unit(benchmark::kMillisecond);

void BM_BlocksTurning(benchmark::State& state) {
  present_turning(state, PresentMethod::blocks);
}
BENCHMARK(BM_BlocksTurning)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace facetview

BENCHMARK_MAIN();
