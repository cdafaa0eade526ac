// Decoding the same grid of a million triangles from each model format, beside
// binary STL, the baseline of the same run: the other formats share vertices
// between triangles, so they carry fewer bytes but must resolve indices.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cstdint>
#include <string>

#include "model/model_decoder.hpp"

namespace facetview {
namespace {

// A height field of kSide x kSide quads, two triangles each.
constexpr std::uint32_t kSide = 708;
constexpr std::uint32_t kTriangleCount = 2 * kSide * kSide;

Vec3 grid_point(std::uint32_t i, std::uint32_t j) {
  const float x = static_cast<float>(i), y = static_cast<float>(j);
  return {x, y, static_cast<float>((i * 7 + j * 13) % 17) * 0.25f};
}

// The corners of each triangle of the grid, as indices into a row-major
// (kSide + 1)^2 vertex grid.
template <class Visit>
void for_each_triangle(Visit visit) {
  const auto index = [](std::uint32_t i, std::uint32_t j) { return j * (kSide + 1) + i; };
  for (std::uint32_t j = 0; j < kSide; ++j) {
    for (std::uint32_t i = 0; i < kSide; ++i) {
      visit(index(i, j), index(i + 1, j), index(i + 1, j + 1));
      visit(index(i, j), index(i + 1, j + 1), index(i, j + 1));
    }
  }
}

template <class Visit>
void for_each_vertex(Visit visit) {
  for (std::uint32_t j = 0; j <= kSide; ++j) {
    for (std::uint32_t i = 0; i <= kSide; ++i) visit(grid_point(i, j));
  }
}

Vec3 vertex_at(std::uint32_t index) {
  return grid_point(index % (kSide + 1), index / (kSide + 1));
}

template <class T>
void append_raw(std::string& out, T value) {
  const auto bytes = std::bit_cast<std::array<char, sizeof value>>(value);
  out.append(bytes.data(), bytes.size());
}

void append_number(std::string& out, auto value) {
  char buffer[32];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  (void)error;
  out.append(buffer, end);
}

std::string binary_stl() {
  std::string out(80, '\0');
  append_raw(out, kTriangleCount);
  for_each_triangle([&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    out.append(12, '\0');
    for (std::uint32_t corner : {a, b, c}) {
      const Vec3 p = vertex_at(corner);
      append_raw(out, p.x), append_raw(out, p.y), append_raw(out, p.z);
    }
    out.append(2, '\0');
  });
  return out;
}

std::string obj() {
  std::string out;
  for_each_vertex([&](Vec3 p) {
    out += "v ";
    append_number(out, p.x), out += ' ', append_number(out, p.y), out += ' ';
    append_number(out, p.z), out += '\n';
  });
  for_each_triangle([&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    out += "f ";
    append_number(out, a + 1), out += ' ', append_number(out, b + 1), out += ' ';
    append_number(out, c + 1), out += '\n';
  });
  return out;
}

std::string ply(bool binary) {
  const std::uint32_t vertices = (kSide + 1) * (kSide + 1);
  std::string out = std::string("ply\nformat ") + (binary ? "binary_little_endian" : "ascii") +
                    " 1.0\nelement vertex " + std::to_string(vertices) +
                    "\nproperty float x\nproperty float y\nproperty float z\nelement face " +
                    std::to_string(kTriangleCount) +
                    "\nproperty list uchar int vertex_indices\nend_header\n";
  for_each_vertex([&](Vec3 p) {
    if (binary) {
      append_raw(out, p.x), append_raw(out, p.y), append_raw(out, p.z);
      return;
    }
    append_number(out, p.x), out += ' ', append_number(out, p.y), out += ' ';
    append_number(out, p.z), out += '\n';
  });
  for_each_triangle([&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    if (binary) {
      out += '\3';
      for (std::uint32_t corner : {a, b, c}) append_raw(out, static_cast<std::int32_t>(corner));
      return;
    }
    out += "3 ";
    append_number(out, a), out += ' ', append_number(out, b), out += ' ';
    append_number(out, c), out += '\n';
  });
  return out;
}

struct Sample {
  const char* label;
  const char* path;
  std::string content;
};

const Sample& sample(std::int64_t which) {
  static const Sample samples[] = {
      {"binary STL (baseline)", "grid.stl", binary_stl()},
      {"OBJ", "grid.obj", obj()},
      {"PLY binary", "grid.ply", ply(true)},
      {"PLY ASCII", "grid.ply", ply(false)},
  };
  return samples[which];
}

void BM_DecodeModel(benchmark::State& state) {
  const Sample& input = sample(state.range(0));
  for (auto _ : state) {
    Result<Mesh> mesh = decode_model(input.content, input.path);
    if (!mesh || mesh->triangles.size() != kTriangleCount) state.SkipWithError("bad decode");
    benchmark::DoNotOptimize(mesh->triangles.data());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kTriangleCount));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * input.content.size()));
  state.SetLabel(input.label);
}

BENCHMARK(BM_DecodeModel)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace facetview

BENCHMARK_MAIN();
