#include "raster/triangle_batch.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/simd.hpp"
#include "raster/shading.hpp"
#include "raster/triangle_pipeline.hpp"

// Step numbers in this file are those of the list in triangle_pipeline.hpp.

// The vector helpers below are internal and inlined into the functions that
// pick the instruction set, so no call passes an AVX vector across an ABI.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace facetview {
namespace {

// N triangles side by side, one per lane (Simd<N>), each going through the
// steps of draw_triangle with the same operations in the same order.

// The frame values spread over the lanes.
template <int N>
struct FrameLanes {
  using Floats = typename Simd<N>::Floats;
  explicit FrameLanes(const FrameValues& f)
      : width(broadcast<N>(f.width)),
        height(broadcast<N>(f.height)),
        aspect(broadcast<N>(f.aspect)),
        distance(broadcast<N>(f.distance)),
        focal(broadcast<N>(f.focal)),
        sin_yaw(broadcast<N>(f.sin_yaw)),
        cos_yaw(broadcast<N>(f.cos_yaw)),
        sin_pitch(broadcast<N>(f.sin_pitch)),
        cos_pitch(broadcast<N>(f.cos_pitch)),
        sin_roll(broadcast<N>(f.sin_roll)),
        cos_roll(broadcast<N>(f.cos_roll)),
        target_x(broadcast<N>(f.target.x)),
        target_y(broadcast<N>(f.target.y)),
        target_z(broadcast<N>(f.target.z)),
        last_x(broadcast<N>(static_cast<float>(f.width_px - 1))),
        last_y(broadcast<N>(static_cast<float>(f.height_px - 1))) {
    // Frames hold at most 2^28 pixels, so the last index fits the lanes.
    for (int lane = 0; lane < N; ++lane) {
      last_column[lane] = static_cast<std::int32_t>(f.width_px - 1);
      last_row[lane] = static_cast<std::int32_t>(f.height_px - 1);
    }
  }
  Floats width, height, aspect, distance, focal;
  Floats sin_yaw, cos_yaw, sin_pitch, cos_pitch, sin_roll, cos_roll;
  Floats target_x, target_y, target_z;
  Floats last_x, last_y;  // the last pixel index as a float: may round up beyond 2^24
  typename Simd<N>::Lanes last_column, last_row;
};

// Helpers of step 7, the bounding box, lane by lane (finite values only).
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Floats lowest(typename Simd<N>::Floats a,
                                                              typename Simd<N>::Floats b,
                                                              typename Simd<N>::Floats c) {
  const auto ab = a < b ? a : b;
  return ab < c ? ab : c;
}
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Floats highest(typename Simd<N>::Floats a,
                                                               typename Simd<N>::Floats b,
                                                               typename Simd<N>::Floats c) {
  const auto ab = a > b ? a : b;
  return ab > c ? ab : c;
}
// Raised to 0, then lowered to `last`.
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Floats inside_frame(typename Simd<N>::Floats value,
                                                                    typename Simd<N>::Floats last) {
  const typename Simd<N>::Floats zero{};
  const auto raised = value > zero ? value : zero;
  return raised < last ? raised : last;
}
// On values of at least 0, truncation rounds down.
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Lanes rounded_down(typename Simd<N>::Floats value) {
  return __builtin_convertvector(value, typename Simd<N>::Lanes);
}
// One more where truncation lost a fraction (true comparisons are -1).
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Lanes rounded_up(typename Simd<N>::Floats value) {
  const auto whole = __builtin_convertvector(value, typename Simd<N>::Lanes);
  return whole - (__builtin_convertvector(whole, typename Simd<N>::Floats) < value);
}
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Lanes at_most(typename Simd<N>::Lanes index,
                                                              typename Simd<N>::Lanes last) {
  return index > last ? last : index;
}

// One corner of every lane's projected triangle.
template <int N>
struct ScreenLanes {
  typename Simd<N>::Floats x, y, inverse_depth;
};

// One corner of every lane's triangle.
template <int N>
struct CornerLanes {
  typename Simd<N>::Floats x, y, z;
};

// Corner k of `count` triangles; lanes past the count hold zeros.
template <int N>
[[gnu::always_inline]] inline CornerLanes<N> load_corner(const Triangle* triangles, int count,
                                                         int k) {
  CornerLanes<N> corner{};
  for (int lane = 0; lane < count; ++lane) {
    const Vec3& vertex = triangles[lane].vertices[k];
    corner.x[lane] = vertex.x;
    corner.y[lane] = vertex.y;
    corner.z[lane] = vertex.z;
  }
  return corner;
}

// The three corners of N whole triangles, as load_corner gives them, moved in
// blocks of four floats and transposed. A stored triangle is twelve floats,
// the normal and then the corners: (nx ny nz x0) (y0 z0 x1 y1) (z1 x2 y2 z2).
static_assert(sizeof(Triangle) == 12 * sizeof(float) &&
              offsetof(Triangle, vertices) == 3 * sizeof(float));
template <int N>
[[gnu::always_inline]] inline void load_whole_group(const Triangle* triangles,
                                                    CornerLanes<N> (&corners)[3]) {
  using Floats = typename Simd<N>::Floats;
  using Quad = Simd<4>::Floats;
  const auto* floats = reinterpret_cast<const unsigned char*>(triangles);
  // Block `block` of triangle `row`, and with N = 8 that of triangle row + 4
  // in the upper half: each half is transposed on its own.
  const auto rows = [&](int block, int row) {
    Quad low, high{};
    std::memcpy(&low, floats + sizeof(Triangle) * row + sizeof(Quad) * block, sizeof low);
    if constexpr (N == 4) {
      return low;
    } else {
      std::memcpy(&high, floats + sizeof(Triangle) * (row + 4) + sizeof(Quad) * block, sizeof high);
      return Floats(__builtin_shufflevector(low, high, 0, 1, 2, 3, 4, 5, 6, 7));
    }
  };
  // Columns of a 4 x 4 block of floats, the triangles of its rows side by side.
  const auto columns = [&](int block, Floats(&column)[4]) {
    column[0] = rows(block, 0), column[1] = rows(block, 1);
    column[2] = rows(block, 2), column[3] = rows(block, 3);
    transpose<N>(column[0], column[1], column[2], column[3]);
  };
  Floats first[4], second[4], third[4];
  columns(0, first);
  columns(1, second);
  columns(2, third);
  corners[0] = {first[3], second[0], second[1]};
  corners[1] = {second[2], second[3], third[0]};
  corners[2] = {third[1], third[2], third[3]};
}

// Step 1 of draw_triangle, to_view_space: less the target, then yaw, pitch and roll.
template <int N>
[[gnu::always_inline]] inline CornerLanes<N> to_view_space(const FrameLanes<N>& f,
                                                           const CornerLanes<N>& model) {
  const CornerLanes<N> p{model.x - f.target_x, model.y - f.target_y, model.z - f.target_z};
  const auto x1 = p.x * f.cos_yaw + p.z * f.sin_yaw;
  const auto z1 = p.z * f.cos_yaw - p.x * f.sin_yaw;
  const auto y2 = p.y * f.cos_pitch - z1 * f.sin_pitch;
  const auto z = p.y * f.sin_pitch + z1 * f.cos_pitch;
  return {x1 * f.cos_roll - y2 * f.sin_roll, x1 * f.sin_roll + y2 * f.cos_roll, z};
}

// The samples inside each lane's triangle, for boxes of at most
// kKnownSamplesSide columns and rows, as the bits fill_known_samples takes;
// larger boxes are left to scan_triangle. Most triangles of a fine mesh fall
// between the pixel centres and end here with no bit set. Each sample goes
// through the very operations of scan_triangle: the edge k from corner k + 1
// to corner k + 2 turned by the winding, g = column_coefficient * (sample_x -
// anchor_x) - row_coefficient * (sample_y - anchor_y), inside when all three
// are >= 0.
template <int N>
[[gnu::always_inline]] inline typename Simd<N>::Lanes known_samples_inside(
    const ScreenLanes<N> (&screen)[3], typename Simd<N>::Floats doubled_area,
    typename Simd<N>::Lanes x_min, typename Simd<N>::Lanes x_max, typename Simd<N>::Lanes y_min,
    typename Simd<N>::Lanes y_max) {
  using Floats = typename Simd<N>::Floats;
  using Mask = typename Simd<N>::Lanes;
  constexpr int side = kKnownSamplesSide;
  const Floats zero{};
  const Floats half = broadcast<N>(0.5f);
  const Floats one = broadcast<N>(1.0f);
  const Floats orientation = doubled_area > zero ? one : -one;
  Floats column_coefficient[3], row_coefficient[3], anchor_x[3], anchor_y[3];
  for (int k = 0; k < 3; ++k) {
    const int from = (k + 1) % 3;
    const int to = (k + 2) % 3;
    column_coefficient[k] = orientation * (screen[to].y - screen[from].y);
    row_coefficient[k] = orientation * (screen[to].x - screen[from].x);
    anchor_x[k] = screen[from].x;
    anchor_y[k] = screen[from].y;
  }
  // The column part of each edge value, for the columns of the box.
  Floats column_term[side][3];
  Mask column_in_box[side];
  for (int dx = 0; dx < side; ++dx) {
    const Mask column = x_min + dx;
    column_in_box[dx] = column <= x_max;
    const Floats sample_x = __builtin_convertvector(column, Floats) + half;
    for (int k = 0; k < 3; ++k) {
      column_term[dx][k] = column_coefficient[k] * (sample_x - anchor_x[k]);
    }
  }
  Mask bits{};
  for (int dy = 0; dy < side; ++dy) {
    const Mask row = y_min + dy;
    const Floats sample_y = __builtin_convertvector(row, Floats) + half;
    Floats row_term[3];
    for (int k = 0; k < 3; ++k) row_term[k] = row_coefficient[k] * (sample_y - anchor_y[k]);
    for (int dx = 0; dx < side; ++dx) {
      Mask inside = (row <= y_max) & column_in_box[dx];
      for (int k = 0; k < 3; ++k) inside &= column_term[dx][k] - row_term[k] >= zero;
      bits |= inside & (1 << (dy * side + dx));
    }
  }
  return bits;
}

template <int N>
[[gnu::always_inline]] inline void draw_group(const Triangle* triangles, const FaceColour* colours,
                                              int count, const FrameLanes<N>& f,
                                              const FrameValues& frame, const FrameBuffers& buffers,
                                              RowSpan& rows) {
  using Floats = typename Simd<N>::Floats;
  using Mask = typename Simd<N>::Lanes;

  // Step 1, view transform, and the view depth d = D - Z of each corner.
  CornerLanes<N> view[3];
  if (count == N) {
    load_whole_group<N>(triangles, view);
  } else {
    for (int k = 0; k < 3; ++k) view[k] = load_corner<N>(triangles, count, k);
  }
  Floats view_depth[3];
  for (int k = 0; k < 3; ++k) {
    view[k] = to_view_space<N>(f, view[k]);
    view_depth[k] = f.distance - view[k].z;
  }

  // Step 2, near rejection: a corner at or inside the near limit drops the
  // triangle (a NaN depth does not, as in the scalar test).
  const Floats near = broadcast<N>(kNearLimit);
  const Mask reaches_near =
      (view_depth[0] <= near) | (view_depth[1] <= near) | (view_depth[2] <= near);

  // Step 3, facing: nz <= 0 drops the triangle.
  const Floats facing = (view[1].x - view[0].x) * (view[2].y - view[0].y) -
                        (view[1].y - view[0].y) * (view[2].x - view[0].x);
  const Mask faces_away = facing <= Floats{};

  // Where the frame clips, facing triangles that reach the near limit are
  // drawn in pieces, in their place in the list.
  const std::uint32_t clipped =
      frame.clips_near ? lane_bits<N>(reaches_near & ~faces_away, count) : 0;
  Mask kept = ~(reaches_near | faces_away);
  std::uint32_t drawn = lane_bits<N>(kept, count);
  if ((drawn | clipped) == 0) return;

  // Step 5 of triangle_pipeline.hpp, projection of each corner, and the
  // reciprocal depths that the scan interpolates.
  ScreenLanes<N> screen[3];
  const Floats half = broadcast<N>(0.5f);
  const Floats one = broadcast<N>(1.0f);
  for (int k = 0; k < 3; ++k) {
    const Floats d = frame.orthographic ? f.distance : view_depth[k];
    screen[k].x = f.width * (view[k].x * f.focal / f.aspect / d * half + half);
    screen[k].y = f.height * (one - (view[k].y * f.focal / d * half + half));
    screen[k].inverse_depth = frame.orthographic ? view_depth[k] : one / view_depth[k];
  }

  // Non-finite coordinates draw nothing: x * 0 is 0 only for finite x.
  const Floats zero{};
  for (int k = 0; k < 3; ++k) {
    kept &= (screen[k].x * zero == zero) & (screen[k].y * zero == zero);
  }
  // Step 6, screen rejection: all corners beyond one side of the frame.
  kept &= ~((screen[0].x < zero) & (screen[1].x < zero) & (screen[2].x < zero));
  kept &= ~((screen[0].x > f.width) & (screen[1].x > f.width) & (screen[2].x > f.width));
  kept &= ~((screen[0].y < zero) & (screen[1].y < zero) & (screen[2].y < zero));
  kept &= ~((screen[0].y > f.height) & (screen[1].y > f.height) & (screen[2].y > f.height));

  // Step 8, area: twice the signed screen area, negligible ones dropped.
  const Floats doubled_area = (screen[1].y - screen[0].y) * (screen[2].x - screen[0].x) -
                              (screen[1].x - screen[0].x) * (screen[2].y - screen[0].y);
  const Floats magnitude = doubled_area < zero ? -doubled_area : doubled_area;
  kept &= ~(magnitude <= broadcast<N>(kMinimumDoubledArea));

  drawn = lane_bits<N>(kept, count);
  if ((drawn | clipped) == 0) return;

  // Step 7, bounding box. Clamping to the frame before rounding gives the same
  // whole numbers as rounding first, and on values of at least 0 truncation
  // rounds down; rounding up adds one where truncation lost a fraction.
  const Floats x_low = inside_frame<N>(lowest<N>(screen[0].x, screen[1].x, screen[2].x), f.last_x);
  const Floats x_high =
      inside_frame<N>(highest<N>(screen[0].x, screen[1].x, screen[2].x), f.last_x);
  const Floats y_low = inside_frame<N>(lowest<N>(screen[0].y, screen[1].y, screen[2].y), f.last_y);
  const Floats y_high =
      inside_frame<N>(highest<N>(screen[0].y, screen[1].y, screen[2].y), f.last_y);
  const Mask x_min = at_most<N>(rounded_down<N>(x_low), f.last_column);
  const Mask x_max = at_most<N>(rounded_up<N>(x_high), f.last_column);
  const Mask y_min = at_most<N>(rounded_down<N>(y_low), f.last_row);
  const Mask y_max = at_most<N>(rounded_up<N>(y_high), f.last_row);

  // Step 9's inside test for the samples of small boxes: those with none
  // inside draw nothing.
  const Mask side = Mask{} + kKnownSamplesSide;
  const Mask large = (x_max - x_min >= side) | (y_max - y_min >= side);
  const Mask inside = known_samples_inside<N>(screen, doubled_area, x_min, x_max, y_min, y_max);
  kept &= large | (inside != Mask{});
  drawn = lane_bits<N>(kept, count);
  const std::uint32_t scanned = lane_bits<N>(large, count);

  // Steps 4 and 9 one triangle at a time, in list order.
  for (std::uint32_t remaining = drawn | clipped; remaining != 0; remaining &= remaining - 1) {
    const int lane = __builtin_ctz(remaining);
    std::array<Vec3, 3> corners;
    ScreenTriangle triangle{};
    for (int k = 0; k < 3; ++k) {
      corners[k] = {view[k].x[lane], view[k].y[lane], view[k].z[lane]};
      triangle.x[k] = screen[k].x[lane];
      triangle.y[k] = screen[k].y[lane];
      triangle.inverse_depth[k] = screen[k].inverse_depth[lane];
    }
    if (clipped & (1u << lane)) {
      // The pieces' boxes are not known here; they lie within the frame.
      rows.include(0, frame.height_px);
      draw_near_clipped(corners, {view_depth[0][lane], view_depth[1][lane], view_depth[2][lane]},
                        frame, buffers, colours != nullptr ? colours + lane : nullptr);
      continue;
    }
    triangle.doubled_area = doubled_area[lane];
    triangle.linear_depth = frame.orthographic;
    const PixelBox box{x_min[lane], x_max[lane], y_min[lane], y_max[lane]};
    rows.include(static_cast<std::uint32_t>(box.y_min), static_cast<std::uint32_t>(box.y_max) + 1);
    TriangleColour colour(corners, frame, colours != nullptr ? colours + lane : nullptr);
    if (scanned & (1u << lane)) {
      scan_triangle(triangle, box, colour, buffers);
    } else {
      fill_known_samples(triangle, box, static_cast<std::uint32_t>(inside[lane]), colour, buffers);
    }
  }
}

template <int N>
[[gnu::always_inline]] inline RowSpan draw_in_groups(std::span<const Triangle> triangles,
                                                     std::span<const FaceColour> colours,
                                                     const FrameValues& frame,
                                                     const FrameBuffers& buffers) {
  const FrameLanes<N> lanes(frame);
  RowSpan rows;
  const auto colours_from = [&](std::size_t first) {
    return colours.empty() ? nullptr : colours.data() + first;
  };
  const std::size_t whole = triangles.size() / N * N;
  for (std::size_t first = 0; first < whole; first += N) {
    draw_group<N>(triangles.data() + first, colours_from(first), N, lanes, frame, buffers, rows);
  }
  if (whole < triangles.size()) {
    draw_group<N>(triangles.data() + whole, colours_from(whole),
                  static_cast<int>(triangles.size() - whole), lanes, frame, buffers, rows);
  }
  return rows;
}

// 16-byte vectors: every x86-64 processor, and the baseline elsewhere.
RowSpan draw_in_groups_of_four(std::span<const Triangle> triangles,
                               std::span<const FaceColour> colours, const FrameValues& frame,
                               const FrameBuffers& buffers) {
  return draw_in_groups<4>(triangles, colours, frame, buffers);
}

// Eight lanes, where the processor has them.
[[FACETVIEW_WIDE_LANES]] RowSpan draw_in_groups_of_eight(std::span<const Triangle> triangles,
                                                         std::span<const FaceColour> colours,
                                                         const FrameValues& frame,
                                                         const FrameBuffers& buffers) {
  return draw_in_groups<8>(triangles, colours, frame, buffers);
}

}  // namespace

RowSpan draw_triangles(std::span<const Triangle> triangles, const FrameValues& frame,
                       const FrameBuffers& buffers, std::span<const FaceColour> colours) {
  // Colours that do not match the triangles one for one are not the mesh's.
  if (colours.size() != triangles.size()) colours = {};
  if (wide_lanes()) return draw_in_groups_of_eight(triangles, colours, frame, buffers);
  return draw_in_groups_of_four(triangles, colours, frame, buffers);
}

}  // namespace facetview
