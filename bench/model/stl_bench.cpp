// Reading, decoding and normalizing STL files of a million triangles, beside
// the time it takes just to read the same file into memory.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "common/whole_file.hpp"
#include "model/mesh.hpp"
#include "model/model_decoder.hpp"
#include "model/stl_decoder.hpp"

namespace facetview {
namespace {

constexpr std::uint32_t kTriangleCount = 1'000'000;

// Deterministic coordinates in [-100, 100).
class Coordinates {
 public:
  float next() {
    state_ = state_ * 6364136223846793005u + 1442695040888963407u;
    return static_cast<float>(state_ >> 40) / static_cast<float>(1u << 24) * 200.0f - 100.0f;
  }

 private:
  std::uint64_t state_ = 42;
};

void append_u32_le(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void append_float(std::string& out, float value) {
  char buffer[32];
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 6);
  (void)error;
  out.append(buffer, end);
}

std::string binary_content() {
  std::string out = "binary benchmark mesh";
  out.resize(80, '\0');
  append_u32_le(out, kTriangleCount);
  Coordinates coordinates;
  for (std::uint32_t i = 0; i < kTriangleCount; ++i) {
    for (int k = 0; k < 12; ++k)
      append_u32_le(out, std::bit_cast<std::uint32_t>(coordinates.next()));
    out += std::string(2, '\0');
  }
  return out;
}

// Laid out the way CAD exporters write it: indented, six-digit mantissas.
std::string ascii_content() {
  std::string out = "solid ascii benchmark mesh\n";
  Coordinates coordinates;
  const auto append_point = [&](const char* keyword) {
    out += keyword;
    for (int k = 0; k < 3; ++k) {
      out += ' ';
      append_float(out, coordinates.next());
    }
    out += '\n';
  };
  for (std::uint32_t i = 0; i < kTriangleCount; ++i) {
    append_point("  facet normal");
    out += "    outer loop\n";
    for (int k = 0; k < 3; ++k) append_point("      vertex");
    out += "    endloop\n  endfacet\n";
  }
  out += "endsolid ascii benchmark mesh\n";
  return out;
}

// The generated files, written once into a temporary directory that is
// removed at exit.
class BenchmarkFiles {
 public:
  static const BenchmarkFiles& get() {
    static const BenchmarkFiles files;
    return files;
  }

  std::filesystem::path binary;
  std::filesystem::path ascii;

 private:
  BenchmarkFiles() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "facetview-stl-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    directory_ = pattern;
    binary = write("binary.stl", binary_content());
    ascii = write("ascii.stl", ascii_content());
  }
  ~BenchmarkFiles() {
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
  }

  std::filesystem::path write(const char* name, const std::string& content) const {
    const std::filesystem::path path = directory_ / name;
    std::ofstream(path, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    return path;
  }

  std::filesystem::path directory_;
};

const std::filesystem::path& file_for(const benchmark::State& state) {
  const BenchmarkFiles& files = BenchmarkFiles::get();
  return state.range(0) == 0 ? files.binary : files.ascii;
}

void report(benchmark::State& state, std::size_t bytes) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTriangleCount));
  state.SetLabel(state.range(0) == 0 ? "binary" : "ascii");
}

// Baseline: the whole-file read alone.
void BM_ReadWholeFile(benchmark::State& state) {
  const std::filesystem::path& path = file_for(state);
  std::size_t bytes = 0;
  for (auto _ : state) {
    Result<std::string> content = read_whole_file(path);
    if (!content) state.SkipWithError(content.error().message().c_str());
    bytes = content->size();
    benchmark::DoNotOptimize(content->data());
  }
  report(state, bytes);
}

// Decoding alone, from content already in memory.
void BM_DecodeStl(benchmark::State& state) {
  const std::string content = read_whole_file(file_for(state)).value();
  for (auto _ : state) {
    Result<Mesh> mesh = decode_stl(content, "bench");
    if (!mesh) state.SkipWithError(mesh.error().message().c_str());
    benchmark::DoNotOptimize(mesh->triangles.data());
  }
  report(state, content.size());
}

// Loads the benchmark file with `load` on every iteration.
template <class Load>
void load_file(benchmark::State& state, Load load) {
  const std::filesystem::path& path = file_for(state);
  const std::size_t bytes = std::filesystem::file_size(path);
  for (auto _ : state) {
    Result<Mesh> mesh = load(path);
    if (!mesh) state.SkipWithError(mesh.error().message().c_str());
    benchmark::DoNotOptimize(mesh->triangles.data());
  }
  report(state, bytes);
}

// Read and decode, the coordinates as in the file.
void BM_LoadStl(benchmark::State& state) {
  load_file(state, [](const std::filesystem::path& path) {
    return load_model(path, retry_on_signal(), {}, AcceptedFormats::stl);
  });
}

// What Mesh.from_stl pays: read, decode and normalise in place.
void BM_LoadNormalizedStl(benchmark::State& state) {
  load_file(state, [](const std::filesystem::path& path) {
    return load_normalized_model(path, retry_on_signal(), {}, AcceptedFormats::stl);
  });
}

// A normalised copy of a mesh in memory.
void BM_Normalized(benchmark::State& state) {
  const Result<Mesh> mesh =
      load_model(file_for(state), retry_on_signal(), {}, AcceptedFormats::stl);
  for (auto _ : state) {
    const Mesh normalized = mesh->normalized();
    benchmark::DoNotOptimize(normalized.triangles.data());
  }
  report(state, mesh->triangles.size() * sizeof(Triangle));
}

BENCHMARK(BM_ReadWholeFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeStl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadStl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadNormalizedStl)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Normalized)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace facetview

BENCHMARK_MAIN();
