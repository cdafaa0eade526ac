// What the frame benchmarks measure against: an output that only counts, and
// the two whole-frame costs a presented frame is compared with.
#pragma once

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "common/byte_output.hpp"

namespace facetview {

// Counts what would reach the terminal and drops it.
class CountingOutput final : public ByteOutput {
 public:
  Status write_all(std::string_view bytes) override {
    written += bytes.size();
    if (bytes.starts_with("\x1b_Ga=p,")) ++placements;
    return Status::success();
  }
  // Counts a command given in pieces without joining them.
  Status write_command(std::initializer_list<std::string_view> pieces) override {
    for (const std::string_view piece : pieces) written += piece.size();
    return Status::success();
  }
  Status flush() override { return Status::success(); }

  std::uint64_t written = 0;
  std::uint64_t placements = 0;
};

// The whole frame compressed once as one zlib stream at level 1.
inline void measure_zlib_whole_frame(benchmark::State& state,
                                     const std::vector<std::uint8_t>& frame) {
  std::vector<Bytef> compressed(compressBound(frame.size()));
  uLongf compressed_size = 0;
  for (auto _ : state) {
    compressed_size = compressed.size();
    if (compress2(compressed.data(), &compressed_size, frame.data(), frame.size(), 1) != Z_OK) {
      state.SkipWithError("compress2 failed");
      return;
    }
    benchmark::DoNotOptimize(compressed.data());
  }
  state.counters["bytes_per_frame"] = static_cast<double>(compressed_size);
}

// One comparison of the whole frame with an equal copy.
inline void measure_memcmp_whole_frame(benchmark::State& state,
                                       const std::vector<std::uint8_t>& frame) {
  const std::vector<std::uint8_t> copy = frame;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::memcmp(frame.data(), copy.data(), frame.size()));
  }
}

}  // namespace facetview
