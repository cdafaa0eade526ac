// One whole frame of the demo hull at high quality, 160 x 48 cells (800 x 480
// pixels), beside the costs it is made of: rendering alone, one zlib level-1
// pass over the whole frame and one memcmp of the whole frame.
#include <fcntl.h>
#include <unistd.h>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/frame_baselines.hpp"
#include "surface/fd_writer.hpp"
#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

constexpr Viewport kTerminal{0, 0, 160, 48};
constexpr Quality kQuality = Quality::high;
// Radians per frame of a slowly turning model.
constexpr float kTurnPerFrame = 0.01f;

// A surface that has already shown its first frame of the demo hull, and
// counts the bytes of the frames after it.
class PresentedSurface {
 public:
  explicit PresentedSurface(benchmark::State& state) : state_(state) {
    present(kDefaultCamera);
    output_.written = 0;
  }
  ~PresentedSurface() {
    state_.counters["bytes_per_frame"] = benchmark::Counter(static_cast<double>(output_.written),
                                                            benchmark::Counter::kAvgIterations);
  }

  void present(const Camera& camera) {
    const Result<PresentedFrame> frame =
        surface_.render_and_present(output_, mesh_, camera, kTerminal);
    if (!frame) state_.SkipWithError(frame.error().message().c_str());
  }

  // Forgetting the last frame makes the next one rebuild and send every tile.
  void forget_last_frame() { surface_.forget_shown(); }

 private:
  benchmark::State& state_;
  const Mesh mesh_ = Mesh::demo_mesh();
  TerminalSurface surface_{kQuality};
  CountingOutput output_;
};

// A rendered frame of the demo hull, to feed the baselines.
std::vector<std::uint8_t> demo_frame() {
  const FrameSize size = framebuffer_size(kQuality, kTerminal);
  Renderer renderer(size.width, size.height);
  renderer.render(Mesh::demo_mesh(), kDefaultCamera);
  return renderer.framebuffer();
}

void BM_FrameEveryTileChanged(benchmark::State& state) {
  PresentedSurface surface(state);
  for (auto _ : state) {
    surface.forget_last_frame();
    surface.present(kDefaultCamera);
  }
}
BENCHMARK(BM_FrameEveryTileChanged)->Unit(benchmark::kMillisecond);

void BM_FrameTurningCamera(benchmark::State& state) {
  PresentedSurface surface(state);
  Camera camera = kDefaultCamera;
  for (auto _ : state) {
    camera.yaw += kTurnPerFrame;
    surface.present(camera);
  }
}
BENCHMARK(BM_FrameTurningCamera)->Unit(benchmark::kMillisecond);

void BM_FrameIdentical(benchmark::State& state) {
  PresentedSurface surface(state);
  for (auto _ : state) surface.present(kDefaultCamera);
}
BENCHMARK(BM_FrameIdentical)->Unit(benchmark::kMillisecond);

// The frames of BM_FrameEveryTileChanged sent for real: gathered by the frame
// writer and written to /dev/null, with the frame buffer's copy and one write
// per frame; its baseline is that benchmark, whose output only counts.
void BM_FrameEveryTileChangedToDevNull(benchmark::State& state) {
  const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    state.SkipWithError("no /dev/null");
    return;
  }
  FdWriter writer(fd);
  const Mesh mesh = Mesh::demo_mesh();
  TerminalSurface surface(kQuality);
  for (auto _ : state) {
    surface.forget_shown();
    if (!surface.render_and_present(writer, mesh, kDefaultCamera, kTerminal)) {
      state.SkipWithError("frame failed");
      break;
    }
  }
  ::close(fd);
}
BENCHMARK(BM_FrameEveryTileChangedToDevNull)->Unit(benchmark::kMillisecond);

// Baseline: the renderer alone, at the frame's size.
void BM_BaselineRenderOnly(benchmark::State& state) {
  const Mesh mesh = Mesh::demo_mesh();
  const FrameSize size = framebuffer_size(kQuality, kTerminal);
  Renderer renderer(size.width, size.height);
  for (auto _ : state) {
    renderer.render(mesh, kDefaultCamera);
    benchmark::DoNotOptimize(renderer.framebuffer().data());
  }
}
BENCHMARK(BM_BaselineRenderOnly)->Unit(benchmark::kMillisecond);

// Baseline: the whole frame compressed as one zlib stream at level 1.
void BM_BaselineZlibWholeFrame(benchmark::State& state) {
  measure_zlib_whole_frame(state, demo_frame());
}
BENCHMARK(BM_BaselineZlibWholeFrame)->Unit(benchmark::kMillisecond);

// Baseline: one comparison of the whole frame with an equal copy.
void BM_BaselineMemcmpWholeFrame(benchmark::State& state) {
  measure_memcmp_whole_frame(state, demo_frame());
}
BENCHMARK(BM_BaselineMemcmpWholeFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace facetview

BENCHMARK_MAIN();
