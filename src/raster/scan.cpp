#include "raster/scan.hpp"

#include <cmath>
#include <cstddef>
#include <cstring>

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

  float row_term(float sample_y) const { return row_coefficient * (sample_y - anchor_y); }
  float value(float sample_x, float row_term) const {
    return column_coefficient * (sample_x - anchor_x) - row_term;
  }
};

std::array<OrientedEdge, 3> oriented_edges(const ScreenTriangle& t) {
  const float orientation = t.doubled_area > 0.0f ? 1.0f : -1.0f;
  std::array<OrientedEdge, 3> edges{};
  for (int k = 0; k < 3; ++k) {
    const int from = (k + 1) % 3;
    const int to = (k + 2) % 3;
    edges[k] = {orientation * (t.y[to] - t.y[from]), t.x[from], orientation * (t.x[to] - t.x[from]),
                t.y[from]};
  }
  return edges;
}

float sample_centre(std::int32_t index) {
  return static_cast<float>(index) + 0.5f;
}

// Beyond this magnitude the edge products could overflow and stop being
// monotone along a row; such triangles are scanned over their whole box.
constexpr float kNarrowingBound = 1099511627776.0f;  // 2^40

bool can_narrow_rows(const ScreenTriangle& t) {
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
Span clip_span_to_edge(Span span, const OrientedEdge& edge, float row_term) {
  const auto inside = [&](std::int32_t column) {
    return edge.value(sample_centre(column), row_term) >= 0.0f;
  };
  if (edge.column_coefficient == 0.0f) {
    return inside(span.first) ? span : Span{span.first, span.first - 1};
  }
  float estimate = edge.anchor_x + row_term / edge.column_coefficient - 0.5f;
  if (!(estimate >= static_cast<float>(span.first))) estimate = static_cast<float>(span.first);
  if (!(estimate <= static_cast<float>(span.last))) estimate = static_cast<float>(span.last);
  std::int32_t column = static_cast<std::int32_t>(estimate);
  if (column < span.first) column = span.first;
  if (column > span.last) column = span.last;

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

}  // namespace

void scan_triangle(const ScreenTriangle& triangle, const PixelBox& box, Rgba colour,
                   const FrameBuffers& buffers) {
  const std::array<OrientedEdge, 3> edges = oriented_edges(triangle);
  const float area = std::fabs(triangle.doubled_area);
  const bool narrow_rows = can_narrow_rows(triangle);
  const auto& inverse_depth = triangle.inverse_depth;

  for (std::int32_t row = box.y_min; row <= box.y_max; ++row) {
    const float sample_y = sample_centre(row);
    const float row_terms[3] = {edges[0].row_term(sample_y), edges[1].row_term(sample_y),
                                edges[2].row_term(sample_y)};
    Span span{box.x_min, box.x_max};
    for (int k = 0; k < 3 && narrow_rows && span.first <= span.last; ++k) {
      span = clip_span_to_edge(span, edges[k], row_terms[k]);
    }
    const std::size_t row_start = static_cast<std::size_t>(row) * buffers.width;
    for (std::int32_t column = span.first; column <= span.last; ++column) {
      const float sample_x = sample_centre(column);
      const float g0 = edges[0].value(sample_x, row_terms[0]);
      const float g1 = edges[1].value(sample_x, row_terms[1]);
      const float g2 = edges[2].value(sample_x, row_terms[2]);
      if (!(g0 >= 0.0f && g1 >= 0.0f && g2 >= 0.0f)) continue;
      const float q = g0 / area * inverse_depth[0] + g1 / area * inverse_depth[1] +
                      g2 / area * inverse_depth[2];
      if (q <= 0.0f) continue;
      const float z = 1.0f / q;
      const std::size_t pixel = row_start + static_cast<std::size_t>(column);
      if (z < buffers.depth[pixel]) {
        buffers.depth[pixel] = z;
        std::memcpy(&buffers.rgba[pixel * 4], colour.data(), colour.size());
      }
    }
  }
}

}  // namespace facetview
