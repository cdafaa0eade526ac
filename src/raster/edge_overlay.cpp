#include "raster/edge_overlay.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace facetview {
namespace {

// A line may lie this much (relative) behind the surfaces drawn around its
// pixel and still show: an edge lies on its faces, but the pixel centres that
// fixed their depths are up to a pixel away from it.
constexpr float kDepthSlack = 0.002f;

// A view-space direction turned back into model space (roll, pitch and yaw undone).
Vec3 turned_back(const FrameValues& f, Vec3 v) {
  const float x1 = v.x * f.cos_roll + v.y * f.sin_roll;
  const float y2 = v.y * f.cos_roll - v.x * f.sin_roll;
  const float y = y2 * f.cos_pitch + v.z * f.sin_pitch;
  const float z1 = v.z * f.cos_pitch - y2 * f.sin_pitch;
  return {x1 * f.cos_yaw - z1 * f.sin_yaw, y, x1 * f.sin_yaw + z1 * f.cos_yaw};
}

float dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Where the faces turn from the eye to away from it: as the eye sees them,
// from its place in perspective and along the view axis in orthographic
// views. `to_eye` is the direction to the eye from the edge's first corner.
bool shows_in_view(const MeshEdge& edge, Vec3 to_eye) {
  if (edge.always) return true;
  return (dot(edge.first_normal, to_eye) > 0.0f) != (dot(edge.second_normal, to_eye) > 0.0f);
}

// A point of a line on screen; `key` is affine along it: 1 / d, or d itself
// in orthographic views.
struct LinePoint {
  float x, y, key;
};

LinePoint projected(const FrameValues& frame, Vec3 view, float depth) {
  const float d = frame.orthographic ? frame.distance : depth;
  return {frame.width * (view.x * frame.focal / frame.aspect / d * 0.5f + 0.5f),
          frame.height * (1.0f - (view.y * frame.focal / d * 0.5f + 0.5f)),
          frame.orthographic ? depth : 1.0f / depth};
}

LinePoint along(const LinePoint& a, const LinePoint& b, float t) {
  return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), a.key + t * (b.key - a.key)};
}

// Cuts the line to the frame's rectangle; false when nothing of it is left.
bool clip_to_frame(LinePoint& a, LinePoint& b, float width, float height) {
  float enter = 0.0f;
  float leave = 1.0f;
  const float dx = b.x - a.x;
  const float dy = b.y - a.y;
  // Each side as p * t <= q.
  const float p[4] = {-dx, dx, -dy, dy};
  const float q[4] = {a.x, width - a.x, a.y, height - a.y};
  for (int side = 0; side < 4; ++side) {
    if (p[side] == 0.0f) {
      if (q[side] < 0.0f) return false;
      continue;
    }
    const float t = q[side] / p[side];
    if (p[side] < 0.0f) {
      enter = std::max(enter, t);
    } else {
      leave = std::min(leave, t);
    }
  }
  if (!(enter <= leave)) return false;
  const LinePoint start = along(a, b, enter);
  b = along(a, b, leave);
  a = start;
  return true;
}

// The deepest a line at pixel (x, y) may lie and still show: infinity where
// nothing is drawn there, else the farthest surface drawn in the 3 x 3 pixels
// around it, one more step of their spread beyond (an edge on the far side of
// a face seen at a slant lies deeper than any of its pixel centres), and a
// little slack.
float deepest_visible(const FrameValues& frame, const FrameBuffers& buffers, std::uint32_t x,
                      std::uint32_t y) {
  const float own = buffers.depth[std::size_t{y} * buffers.width + x];
  if (std::isinf(own)) return own;
  float nearest = own;
  float farthest = own;
  const std::uint32_t x_end = std::min(x + 1, frame.width_px - 1);
  const std::uint32_t y_end = std::min(y + 1, frame.height_px - 1);
  for (std::uint32_t j = y > 0 ? y - 1 : 0; j <= y_end; ++j) {
    for (std::uint32_t i = x > 0 ? x - 1 : 0; i <= x_end; ++i) {
      const float depth = buffers.depth[std::size_t{j} * buffers.width + i];
      if (std::isinf(depth)) continue;
      nearest = std::min(nearest, depth);
      farthest = std::max(farthest, depth);
    }
  }
  return (farthest + (farthest - nearest)) * (1.0f + kDepthSlack);
}

std::uint32_t pixel_index(float coordinate, std::uint32_t size) {
  const float clamped = std::min(std::max(coordinate, 0.0f), static_cast<float>(size - 1));
  return std::min(static_cast<std::uint32_t>(clamped), size - 1);
}

void draw_line(LinePoint a, LinePoint b, const FrameValues& frame, const FrameBuffers& buffers) {
  if (!clip_to_frame(a, b, frame.width, frame.height)) return;
  // Coordinates too large for their differences come back non-finite.
  for (const float value : {a.x, a.y, a.key, b.x, b.y, b.key}) {
    if (!std::isfinite(value)) return;
  }
  // One pixel per step along the longer axis.
  const bool steps_in_x = std::fabs(b.x - a.x) >= std::fabs(b.y - a.y);
  const float length = std::max(std::fabs(b.x - a.x), std::fabs(b.y - a.y));
  const auto steps = static_cast<std::uint32_t>(std::ceil(length)) + 1;
  for (std::uint32_t step = 0; step <= steps; ++step) {
    const LinePoint point = along(a, b, static_cast<float>(step) / static_cast<float>(steps));
    std::uint32_t x = pixel_index(point.x, frame.width_px);
    std::uint32_t y = pixel_index(point.y, frame.height_px);
    // A line along a surface's outline goes onto the surface's side of it,
    // where it reads, rather than onto the background.
    if (std::isinf(buffers.depth[std::size_t{y} * buffers.width + x])) {
      std::uint32_t& across = steps_in_x ? y : x;
      const std::uint32_t across_end = (steps_in_x ? frame.height_px : frame.width_px) - 1;
      const auto surface_at = [&](std::uint32_t other) {
        const std::uint32_t px = steps_in_x ? x : other;
        const std::uint32_t py = steps_in_x ? other : y;
        return !std::isinf(buffers.depth[std::size_t{py} * buffers.width + px]);
      };
      if (across > 0 && surface_at(across - 1)) {
        --across;
      } else if (across < across_end && surface_at(across + 1)) {
        ++across;
      }
    }
    const float depth = frame.orthographic ? point.key : 1.0f / point.key;
    if (!(depth <= deepest_visible(frame, buffers, x, y))) continue;
    std::memcpy(buffers.rgba.data() + (std::size_t{y} * buffers.width + x) * 4, kEdgeColour.data(),
                kEdgeColour.size());
  }
}

}  // namespace

void draw_edge_overlay(const MeshEdges& edges, const FrameValues& frame,
                       const FrameBuffers& buffers) {
  const Vec3 view_axis = turned_back(frame, {0.0f, 0.0f, 1.0f});
  const Vec3 eye_offset = turned_back(frame, {0.0f, 0.0f, frame.distance});
  const Vec3 eye{frame.target.x + eye_offset.x, frame.target.y + eye_offset.y,
                 frame.target.z + eye_offset.z};
  for (const MeshEdge& edge : edges.edges) {
    const Vec3 to_eye = frame.orthographic
                            ? view_axis
                            : Vec3{eye.x - edge.from.x, eye.y - edge.from.y, eye.z - edge.from.z};
    if (!shows_in_view(edge, to_eye)) continue;
    Vec3 from = to_view_space(frame, edge.from);
    Vec3 to = to_view_space(frame, edge.to);
    float from_depth = frame.distance - from.z;
    float to_depth = frame.distance - to.z;
    // The part at or beyond the near limit, as the triangles are cut; frames
    // that drop such triangles drop their edges too.
    const bool from_near = from_depth < kNearLimit;
    const bool to_near = to_depth < kNearLimit;
    if (!frame.clips_near && (from_depth <= kNearLimit || to_depth <= kNearLimit)) continue;
    if (from_near && to_near) continue;
    if (from_near || to_near) {
      Vec3& nearer = from_near ? from : to;
      float& nearer_depth = from_near ? from_depth : to_depth;
      const Vec3& beyond = from_near ? to : from;
      const float beyond_depth = from_near ? to_depth : from_depth;
      const float t = (beyond_depth - kNearLimit) / (beyond_depth - nearer_depth);
      nearer = {beyond.x + t * (nearer.x - beyond.x), beyond.y + t * (nearer.y - beyond.y),
                beyond.z + t * (nearer.z - beyond.z)};
      nearer_depth = kNearLimit;
    }
    const LinePoint a = projected(frame, from, from_depth);
    const LinePoint b = projected(frame, to, to_depth);
    draw_line(a, b, frame, buffers);
  }
}

}  // namespace facetview
