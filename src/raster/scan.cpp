#include "raster/scan.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>

#include "common/simd.hpp"

// The vector helpers below are internal and inlined into the functions that
// pick the instruction set, so no call passes an AVX vector across an ABI.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace facetview {
namespace {

// The edge value of the edge opposite one corner, turned so that the inside of
// the triangle is where it is >= 0: g = column_coefficient * (px - anchor_x) -
// row_term. Negating both coefficients negates the value exactly, so g / |E|
// equals w / E bit for bit.
struct OrientedEdge {
  float column_coefficient;
  float anchor_x;
  float row_coefficient;
  float anchor_y;
  float inverse_column_coefficient;  // only to guess where a row crosses the edge

  float row_term(float sample_y) const { return row_coefficient * (sample_y - anchor_y); }
  float value(float sample_x, float row_term) const {
    return column_coefficient * (sample_x - anchor_x) - row_term;
  }
};

// The reciprocals are only needed, and only paid for, when rows are narrowed.
std::array<OrientedEdge, 3> oriented_edges(const ScreenTriangle& t, bool narrow_rows) {
  const float orientation = t.doubled_area > 0.0f ? 1.0f : -1.0f;
  std::array<OrientedEdge, 3> edges{};
  for (int k = 0; k < 3; ++k) {
    const int from = (k + 1) % 3;
    const int to = (k + 2) % 3;
    const float column_coefficient = orientation * (t.y[to] - t.y[from]);
    edges[k] = {column_coefficient, t.x[from], orientation * (t.x[to] - t.x[from]), t.y[from],
                narrow_rows && column_coefficient != 0.0f ? 1.0f / column_coefficient : 0.0f};
  }
  return edges;
}

float sample_centre(std::int32_t index) {
  return static_cast<float>(index) + 0.5f;
}

// Beyond this magnitude the edge products could overflow and stop being
// monotone along a row; such triangles are scanned over their whole box.
constexpr float kNarrowingBound = 1099511627776.0f;  // 2^40
// Boxes this narrow are cheaper to sample whole than to narrow.
constexpr std::int32_t kNarrowingMinWidth = 8;

bool can_narrow_rows(const ScreenTriangle& t, const PixelBox& box) {
  if (box.x_max - box.x_min < kNarrowingMinWidth) return false;
  for (int k = 0; k < 3; ++k) {
    if (!(std::fabs(t.x[k]) <= kNarrowingBound && std::fabs(t.y[k]) <= kNarrowingBound)) {
      return false;
    }
  }
  return true;
}

struct Span {
  std::int32_t first, last;  // inclusive; empty when first > last
};

// Along a row an edge value is a chain of correctly rounded, monotone
// operations on the column, so the columns on the inside of one edge form a
// prefix or a suffix of the row. Shrinks `span` to that part with the exact
// edge test; the estimate of the crossing only decides where the search starts.
// The samples of the span are tested again, so narrowing only saves work.
[[gnu::always_inline]] inline Span clip_span_to_edge(Span span, const OrientedEdge& edge,
                                                     float row_term) {
  const auto inside = [&](std::int32_t column) {
    return edge.value(sample_centre(column), row_term) >= 0.0f;
  };
  if (edge.column_coefficient == 0.0f) {
    return inside(span.first) ? span : Span{span.first, span.first - 1};
  }
  float estimate = edge.anchor_x + row_term * edge.inverse_column_coefficient - 0.5f;
  if (!(estimate >= static_cast<float>(span.first))) estimate = static_cast<float>(span.first);
  if (!(estimate <= static_cast<float>(span.last))) estimate = static_cast<float>(span.last);
  std::int32_t column = std::clamp(static_cast<std::int32_t>(estimate), span.first, span.last);

  if (edge.column_coefficient > 0.0f) {  // inside from some column onwards
    if (inside(column)) {
      while (column > span.first && inside(column - 1)) --column;
    } else {
      while (column <= span.last && !inside(column)) ++column;
    }
    span.first = column;
  } else {  // inside up to some column
    if (inside(column)) {
      while (column < span.last && inside(column + 1)) ++column;
    } else {
      while (column >= span.first && !inside(column)) --column;
    }
    span.last = column;
  }
  return span;
}

// Neighbouring samples of a row are handled together, N at a time (Simd<N>).

// Copies `count` lanes of four bytes; whole groups take one fixed-size copy.
template <int N>
[[gnu::always_inline]] inline void copy_lanes(void* to, const void* from, std::int32_t count) {
  if (count == N) {
    std::memcpy(to, from, N * 4);
  } else {
    std::memcpy(to, from, static_cast<std::size_t>(count) * 4);
  }
}

// Everything the scan needs that is fixed for the whole triangle.
struct ScanSetup {
  std::array<OrientedEdge, 3> edges;
  float area;  // |E|
  std::array<float, 3> inverse_depth;
  PixelBox box;
  bool narrow_rows;
  bool linear_depth;
};

// What stays fixed along one row, spread over the lanes.
template <int N>
struct RowConstants {
  using Floats = typename Simd<N>::Floats;
  Floats column_coefficient[3];
  Floats anchor_x[3];
  Floats row_term[3];
  Floats area;
  Floats inverse_depth[3];
  bool linear_depth;
};

// Depth test and write of the up to N samples from `column` on; `count` lanes
// lie in the row. Unless the row was narrowed to its inside part, most groups
// miss the triangle and are dropped early; in a narrowed row nearly every group
// writes, and testing for it costs more than it saves.
template <int N>
[[gnu::always_inline]] inline void sample_lanes(const RowConstants<N>& row, std::int32_t column,
                                                std::int32_t count, std::size_t pixel,
                                                bool row_narrowed, TriangleColour& colour,
                                                const FrameBuffers& buffers) {
  using Floats = typename Simd<N>::Floats;
  using Lanes = typename Simd<N>::Lanes;
  Lanes columns{};
  for (int lane = 0; lane < N; ++lane) columns[lane] = column + lane;
  const Floats sample_x = __builtin_convertvector(columns, Floats) + 0.5f;
  Floats g[3];
  for (int k = 0; k < 3; ++k) {
    g[k] = row.column_coefficient[k] * (sample_x - row.anchor_x[k]) - row.row_term[k];
  }
  const Floats zero{};
  const Lanes inside = (g[0] >= zero) & (g[1] >= zero) & (g[2] >= zero);
  if (!row_narrowed && !any<N>(inside)) return;
  const Floats q = g[0] / row.area * row.inverse_depth[0] + g[1] / row.area * row.inverse_depth[1] +
                   g[2] / row.area * row.inverse_depth[2];
  const Floats z = row.linear_depth ? q : 1.0f / q;

  // Lanes past the row hold -infinity, which no depth is below.
  Floats old_depth = Floats{} - std::numeric_limits<float>::infinity();
  float* depth = buffers.depth.data() + pixel;
  copy_lanes<N>(&old_depth, depth, count);
  const Lanes write = inside & (q > zero) & (z < old_depth);
  if (!row_narrowed && !any<N>(write)) return;

  Lanes old_rgba{};
  std::uint8_t* rgba = buffers.rgba.data() + pixel * 4;
  copy_lanes<N>(&old_rgba, rgba, count);
  const Rgba bytes = colour.get();
  std::int32_t packed;
  std::memcpy(&packed, bytes.data(), sizeof packed);
  const Floats new_depth = write ? z : old_depth;
  const Lanes new_rgba = write ? Lanes{} + packed : old_rgba;
  copy_lanes<N>(depth, &new_depth, count);
  copy_lanes<N>(rgba, &new_rgba, count);
}

template <int N>
[[gnu::always_inline]] inline void scan_rows(const ScanSetup& setup, TriangleColour& colour,
                                             const FrameBuffers& buffers) {
  RowConstants<N> row{};
  row.linear_depth = setup.linear_depth;
  row.area = broadcast<N>(setup.area);
  for (int k = 0; k < 3; ++k) {
    row.column_coefficient[k] = broadcast<N>(setup.edges[k].column_coefficient);
    row.anchor_x[k] = broadcast<N>(setup.edges[k].anchor_x);
    row.inverse_depth[k] = broadcast<N>(setup.inverse_depth[k]);
  }
  const PixelBox& box = setup.box;
  for (std::int32_t y = box.y_min; y <= box.y_max; ++y) {
    const float sample_y = sample_centre(y);
    float row_terms[3];
    for (int k = 0; k < 3; ++k) {
      row_terms[k] = setup.edges[k].row_term(sample_y);
      row.row_term[k] = broadcast<N>(row_terms[k]);
    }
    Span span{box.x_min, box.x_max};
    for (int k = 0; k < 3 && setup.narrow_rows && span.first <= span.last; ++k) {
      span = clip_span_to_edge(span, setup.edges[k], row_terms[k]);
    }
    const std::size_t row_start = static_cast<std::size_t>(y) * buffers.width;
    for (std::int32_t x = span.first; x <= span.last; x += N) {
      sample_lanes<N>(row, x, std::min(N, span.last - x + 1),
                      row_start + static_cast<std::size_t>(x), setup.narrow_rows, colour, buffers);
    }
  }
}

// One sample already found inside, with the edge values g of oriented_edges: its
// weights, its perspective-correct depth, the depth test and the write (the end of
// the scan step listed in triangle_pipeline.hpp).
[[gnu::always_inline]] inline void write_inside_sample(float g0, float g1, float g2, float area,
                                                       const std::array<float, 3>& inverse_depth,
                                                       bool linear_depth, std::size_t pixel,
                                                       TriangleColour& colour,
                                                       const FrameBuffers& buffers) {
  const float q =
      g0 / area * inverse_depth[0] + g1 / area * inverse_depth[1] + g2 / area * inverse_depth[2];
  const float z = linear_depth ? q : 1.0f / q;
  if (!(q > 0.0f && z < buffers.depth[pixel])) return;
  buffers.depth[pixel] = z;
  const Rgba bytes = colour.get();
  std::memcpy(buffers.rgba.data() + pixel * 4, bytes.data(), bytes.size());
}

// Boxes of a few columns, most triangles of a fine mesh: one sample at a time,
// with the same operations as a lane of sample_lanes, costs less than filling
// lanes that mostly lie outside the box.
void scan_samples(const ScanSetup& setup, TriangleColour& colour, const FrameBuffers& buffers) {
  const PixelBox& box = setup.box;
  const auto& edges = setup.edges;
  for (std::int32_t y = box.y_min; y <= box.y_max; ++y) {
    const float sample_y = sample_centre(y);
    const float row_terms[3] = {edges[0].row_term(sample_y), edges[1].row_term(sample_y),
                                edges[2].row_term(sample_y)};
    const std::size_t row_start = static_cast<std::size_t>(y) * buffers.width;
    for (std::int32_t x = box.x_min; x <= box.x_max; ++x) {
      const float sample_x = sample_centre(x);
      const float g0 = edges[0].value(sample_x, row_terms[0]);
      const float g1 = edges[1].value(sample_x, row_terms[1]);
      const float g2 = edges[2].value(sample_x, row_terms[2]);
      if (!(g0 >= 0.0f && g1 >= 0.0f && g2 >= 0.0f)) continue;
      write_inside_sample(g0, g1, g2, setup.area, setup.inverse_depth, setup.linear_depth,
                          row_start + static_cast<std::size_t>(x), colour, buffers);
    }
  }
}

// Boxes of at most this many columns and rows, most triangles of a fine mesh,
// are sampled four at a time in row-major order.
constexpr std::int32_t kSmallBoxSide = 4;

// The column and row offsets of sample j of a small box `width` columns wide.
struct SmallBoxOffsets {
  std::int32_t column[kSmallBoxSide + 1][16];
  std::int32_t row[kSmallBoxSide + 1][16];
};
constexpr SmallBoxOffsets small_box_offsets() {
  SmallBoxOffsets offsets{};
  for (int width = 1; width <= kSmallBoxSide; ++width) {
    for (int j = 0; j < 16; ++j) {
      offsets.column[width][j] = j % width;
      offsets.row[width][j] = j / width;
    }
  }
  return offsets;
}
constexpr SmallBoxOffsets kSmallBoxOffsets = small_box_offsets();

// The edge tests of scan_samples for four samples at once, each lane doing a
// sample's operations; the rare samples inside go on one by one. The edges
// are those of oriented_edges, found three at a time.
void scan_small_box(const ScreenTriangle& t, const PixelBox& box, TriangleColour& colour,
                    const FrameBuffers& buffers) {
  using Floats = Simd<4>::Floats;
  using Lanes = Simd<4>::Lanes;
  const std::int32_t width = box.x_max - box.x_min + 1;
  const std::int32_t count = width * (box.y_max - box.y_min + 1);
  const float area = std::fabs(t.doubled_area);

  // oriented_edges: edge k runs from corner k + 1 to corner k + 2, one edge per lane.
  const Floats xs{t.x[0], t.x[1], t.x[2], 0.0f};
  const Floats ys{t.y[0], t.y[1], t.y[2], 0.0f};
  const Floats x_from = __builtin_shufflevector(xs, xs, 1, 2, 0, 3);
  const Floats x_to = __builtin_shufflevector(xs, xs, 2, 0, 1, 3);
  const Floats y_from = __builtin_shufflevector(ys, ys, 1, 2, 0, 3);
  const Floats y_to = __builtin_shufflevector(ys, ys, 2, 0, 1, 3);
  const Floats orientation = broadcast<4>(t.doubled_area > 0.0f ? 1.0f : -1.0f);
  const Floats column_coefficients = orientation * (y_to - y_from);
  const Floats row_coefficients = orientation * (x_to - x_from);
  // Each edge's values spread over the sample lanes.
  const Floats column_coefficient[3] = {
      __builtin_shufflevector(column_coefficients, column_coefficients, 0, 0, 0, 0),
      __builtin_shufflevector(column_coefficients, column_coefficients, 1, 1, 1, 1),
      __builtin_shufflevector(column_coefficients, column_coefficients, 2, 2, 2, 2)};
  const Floats row_coefficient[3] = {
      __builtin_shufflevector(row_coefficients, row_coefficients, 0, 0, 0, 0),
      __builtin_shufflevector(row_coefficients, row_coefficients, 1, 1, 1, 1),
      __builtin_shufflevector(row_coefficients, row_coefficients, 2, 2, 2, 2)};
  const Floats anchor_x[3] = {__builtin_shufflevector(x_from, x_from, 0, 0, 0, 0),
                              __builtin_shufflevector(x_from, x_from, 1, 1, 1, 1),
                              __builtin_shufflevector(x_from, x_from, 2, 2, 2, 2)};
  const Floats anchor_y[3] = {__builtin_shufflevector(y_from, y_from, 0, 0, 0, 0),
                              __builtin_shufflevector(y_from, y_from, 1, 1, 1, 1),
                              __builtin_shufflevector(y_from, y_from, 2, 2, 2, 2)};
  const Lanes lane_index{0, 1, 2, 3};
  for (std::int32_t first = 0; first < count; first += 4) {
    Lanes columns, rows;
    std::memcpy(&columns, &kSmallBoxOffsets.column[width][first], sizeof columns);
    std::memcpy(&rows, &kSmallBoxOffsets.row[width][first], sizeof rows);
    columns += box.x_min;
    rows += box.y_min;
    const Floats sample_x = __builtin_convertvector(columns, Floats) + 0.5f;
    const Floats sample_y = __builtin_convertvector(rows, Floats) + 0.5f;
    Floats g[3];
    for (int k = 0; k < 3; ++k) {
      const Floats row_term = row_coefficient[k] * (sample_y - anchor_y[k]);
      g[k] = column_coefficient[k] * (sample_x - anchor_x[k]) - row_term;
    }
    const Floats zero{};
    const Lanes inside =
        (g[0] >= zero) & (g[1] >= zero) & (g[2] >= zero) & (lane_index < count - first);
    if (!any<4>(inside)) continue;
    for (int lane = 0; lane < 4; ++lane) {
      if (!inside[lane]) continue;
      const std::size_t pixel = static_cast<std::size_t>(rows[lane]) * buffers.width +
                                static_cast<std::size_t>(columns[lane]);
      write_inside_sample(g[0][lane], g[1][lane], g[2][lane], area, t.inverse_depth, t.linear_depth,
                          pixel, colour, buffers);
    }
  }
}

// Boxes up to this many columns go sample by sample.
constexpr std::int32_t kSampleBySampleMaxWidth = 3;

// 16-byte vectors: every x86-64 processor, and the baseline elsewhere.
void scan_rows_baseline(const ScanSetup& setup, TriangleColour& colour,
                        const FrameBuffers& buffers) {
  scan_rows<4>(setup, colour, buffers);
}

// Twice the lanes, where the processor has them.
[[FACETVIEW_WIDE_LANES]] void scan_rows_wide(const ScanSetup& setup, TriangleColour& colour,
                                             const FrameBuffers& buffers) {
  // Boxes of a few columns, common in fine meshes, waste less in narrow groups.
  if (setup.box.x_max - setup.box.x_min < 4) return scan_rows<4>(setup, colour, buffers);
  scan_rows<8>(setup, colour, buffers);
}

}  // namespace

void fill_known_samples(const ScreenTriangle& triangle, const PixelBox& box, std::uint32_t inside,
                        TriangleColour& colour, const FrameBuffers& buffers) {
  const std::array<OrientedEdge, 3> edges = oriented_edges(triangle, false);
  const float area = std::fabs(triangle.doubled_area);
  for (; inside != 0; inside &= inside - 1) {
    const auto sample = static_cast<std::int32_t>(__builtin_ctz(inside));
    const std::int32_t x = box.x_min + sample % kKnownSamplesSide;
    const std::int32_t y = box.y_min + sample / kKnownSamplesSide;
    const float sample_x = sample_centre(x);
    const float sample_y = sample_centre(y);
    const std::size_t pixel =
        static_cast<std::size_t>(y) * buffers.width + static_cast<std::size_t>(x);
    write_inside_sample(edges[0].value(sample_x, edges[0].row_term(sample_y)),
                        edges[1].value(sample_x, edges[1].row_term(sample_y)),
                        edges[2].value(sample_x, edges[2].row_term(sample_y)), area,
                        triangle.inverse_depth, triangle.linear_depth, pixel, colour, buffers);
  }
}

void scan_triangle(const ScreenTriangle& triangle, const PixelBox& box, TriangleColour& colour,
                   const FrameBuffers& buffers) {
  if (box.x_max - box.x_min < kSmallBoxSide && box.y_max - box.y_min < kSmallBoxSide) {
    return scan_small_box(triangle, box, colour, buffers);
  }
  const bool narrow_rows = can_narrow_rows(triangle, box);
  const ScanSetup setup{oriented_edges(triangle, narrow_rows),
                        std::fabs(triangle.doubled_area),
                        triangle.inverse_depth,
                        box,
                        narrow_rows,
                        triangle.linear_depth};
  if (box.x_max - box.x_min < kSampleBySampleMaxWidth) return scan_samples(setup, colour, buffers);
  if (wide_lanes()) return scan_rows_wide(setup, colour, buffers);
  scan_rows_baseline(setup, colour, buffers);
}

}  // namespace facetview
