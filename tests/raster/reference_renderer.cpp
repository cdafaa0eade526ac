#include "reference_renderer.hpp"

#include <cmath>
#include <cstddef>
#include <limits>

namespace facetview::testing {
namespace {

float clamp01(float v) {
  return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

std::uint8_t to_byte(float v) {
  return static_cast<std::uint8_t>(clamp01(v) * 255.0f);
}

void put(ReferenceFrame& frame, std::size_t pixel, float r, float g, float b) {
  frame.rgba[pixel * 4 + 0] = to_byte(r);
  frame.rgba[pixel * 4 + 1] = to_byte(g);
  frame.rgba[pixel * 4 + 2] = to_byte(b);
  frame.rgba[pixel * 4 + 3] = 255;
}

void background(ReferenceFrame& frame, std::uint32_t width, std::uint32_t height) {
  const float W = static_cast<float>(width);
  const float H = static_cast<float>(height);
  for (std::uint32_t j = 0; j < height; ++j) {
    for (std::uint32_t i = 0; i < width; ++i) {
      const float t = static_cast<float>(j) / (H > 1.0f ? H : 1.0f);
      const float r2 = (t - 0.42f) * (t - 0.42f);
      const float p = std::pow(t, 1.25f);
      const float base_r = p * 0.14f + (1.0f - p) * 0.05f;
      const float base_g = p * 0.09f + (1.0f - p) * 0.08f;
      const float base_b = p * 0.08f + (1.0f - p) * 0.12f;
      const float u = static_cast<float>(i) / (W > 1.0f ? W : 1.0f) - 0.5f;
      const float g1 = clamp01(1.08f - (2.8f * r2 + 1.8f * (u * u)));
      const float g2 = clamp01(1.0f - (8.5f * r2 + 6.0f * (u * u)));
      const float s = 0.35f * (g2 * g2);
      const float a = 0.45f * g1 + 0.55f;
      put(frame, std::size_t{j} * width + i, a * (base_r + s * 0.21f), a * (base_g + s * 0.16f),
          a * (base_b + s * 0.11f));
    }
  }
}

struct Colour {
  float r, g, b;
};

Vec3 unit_normal(const Vec3 v[3]) {
  float nx = (v[1].y - v[0].y) * (v[2].z - v[0].z) - (v[1].z - v[0].z) * (v[2].y - v[0].y);
  float ny = (v[1].z - v[0].z) * (v[2].x - v[0].x) - (v[1].x - v[0].x) * (v[2].z - v[0].z);
  float nz = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
  const float n_len = std::sqrt(nx * nx + ny * ny + nz * nz);
  if (n_len <= 1.1920929e-7f) return {};
  return {nx / n_len, ny / n_len, nz / n_len};
}

}  // namespace

float reference_normal_dot_view(const Vec3 v[3], float D) {
  const Vec3 n = unit_normal(v);
  const float mx = (v[0].x + v[1].x + v[2].x) / 3.0f;
  const float my = (v[0].y + v[1].y + v[2].y) / 3.0f;
  const float mz = (v[0].z + v[1].z + v[2].z) / 3.0f;
  float vx = -mx, vy = -my, vz = D - mz;
  const float v_len = std::sqrt(vx * vx + vy * vy + vz * vz);
  if (v_len <= 1.1920929e-7f) {
    vx = vy = vz = 0.0f;
  } else {
    vx /= v_len, vy /= v_len, vz /= v_len;
  }
  return n.x * vx + n.y * vy + n.z * vz;
}

namespace {

Colour shade(const Vec3 v[3], float D, float S) {
  const Vec3 n = unit_normal(v);
  const float nx = n.x, ny = n.y, nz = n.z;
  const float my = (v[0].y + v[1].y + v[2].y) / 3.0f;
  const float mz = (v[0].z + v[1].z + v[2].z) / 3.0f;
  float diff = nx * 0.5529668f + ny * 0.7109573f + nz * 0.4344739f;
  if (diff < 0.0f) diff = 0.0f;
  float nv = reference_normal_dot_view(v, D);
  if (nv < 0.0f) nv = 0.0f;
  float rim_base = 1.0f - nv;
  if (rim_base < 0.0f) rim_base = 0.0f;
  const float r = std::pow(rim_base, 2.2f);
  const float h = clamp01(0.4f * my + 0.5f);
  const float l = 0.72f * diff + 0.22f;
  const float lit_r = (h * 0.86f + (1.0f - h) * 0.47f) * l + 0.18f * r * 1.0f;
  const float lit_g = (h * 0.72f + (1.0f - h) * 0.62f) * l + 0.18f * r * 0.96f;
  const float lit_b = (h * 0.56f + (1.0f - h) * 0.78f) * l + 0.18f * r * 0.9f;
  const float t = 1.0f - clamp01((D - mz) / S);
  return {t * 0.14f + (1.0f - t) * lit_r, t * 0.17f + (1.0f - t) * lit_g,
          t * 0.2f + (1.0f - t) * lit_b};
}

}  // namespace

ReferenceFrame reference_render(const Mesh& mesh, const Camera& camera, std::uint32_t width,
                                std::uint32_t height) {
  const std::size_t n = std::size_t{width} * height;
  ReferenceFrame frame{std::vector<std::uint8_t>(n * 4),
                       std::vector<float>(n, std::numeric_limits<float>::infinity())};
  background(frame, width, height);

  const float W = static_cast<float>(width);
  const float H = static_cast<float>(height);
  const float aspect = W / (H > 1.0f ? H : 1.0f);
  float zoom = camera.zoom;
  if (zoom < 0.45f) zoom = 0.45f;
  if (zoom > 2.5f) zoom = 2.5f;
  const float D = 3.25f / zoom;
  const float S = D + 1.5f;
  const float F = 2.144507f;

  for (const Triangle& tri : mesh.triangles) {
    Vec3 v[3];
    float d[3], sx[3], sy[3];
    for (int k = 0; k < 3; ++k) {
      const Vec3 p = tri.vertices[k];
      const float x1 = p.x * std::cos(camera.yaw) + p.z * std::sin(camera.yaw);
      const float z1 = p.z * std::cos(camera.yaw) - p.x * std::sin(camera.yaw);
      const float y2 = p.y * std::cos(camera.pitch) - z1 * std::sin(camera.pitch);
      const float Z = p.y * std::sin(camera.pitch) + z1 * std::cos(camera.pitch);
      const float X = x1 * std::cos(camera.roll) - y2 * std::sin(camera.roll);
      const float Y = x1 * std::sin(camera.roll) + y2 * std::cos(camera.roll);
      v[k] = {X, Y, Z};
      d[k] = D - Z;
    }
    if (d[0] <= 0.1f || d[1] <= 0.1f || d[2] <= 0.1f) continue;
    const float nz = (v[1].x - v[0].x) * (v[2].y - v[0].y) - (v[1].y - v[0].y) * (v[2].x - v[0].x);
    if (nz <= 0.0f) continue;
    const Colour c = shade(v, D, S);
    for (int k = 0; k < 3; ++k) {
      sx[k] = W * (v[k].x * F / aspect / d[k] * 0.5f + 0.5f);
      sy[k] = H * (1.0f - (v[k].y * F / d[k] * 0.5f + 0.5f));
    }
    if ((sx[0] < 0 && sx[1] < 0 && sx[2] < 0) || (sx[0] > W && sx[1] > W && sx[2] > W) ||
        (sy[0] < 0 && sy[1] < 0 && sy[2] < 0) || (sy[0] > H && sy[1] > H && sy[2] > H)) {
      continue;
    }
    float lo_x = std::floor(std::fmin(std::fmin(sx[0], sx[1]), sx[2]));
    float hi_x = std::ceil(std::fmax(std::fmax(sx[0], sx[1]), sx[2]));
    float lo_y = std::floor(std::fmin(std::fmin(sy[0], sy[1]), sy[2]));
    float hi_y = std::ceil(std::fmax(std::fmax(sy[0], sy[1]), sy[2]));
    const float x_limit = W - 1.0f;
    const float y_limit = H - 1.0f;
    lo_x = std::fmin(std::fmax(lo_x, 0.0f), x_limit);
    hi_x = std::fmin(std::fmax(hi_x, 0.0f), x_limit);
    lo_y = std::fmin(std::fmax(lo_y, 0.0f), y_limit);
    hi_y = std::fmin(std::fmax(hi_y, 0.0f), y_limit);
    const float E = (sy[1] - sy[0]) * (sx[2] - sx[0]) - (sx[1] - sx[0]) * (sy[2] - sy[0]);
    if (std::fabs(E) <= 0.0001f) continue;
    for (int j = static_cast<int>(lo_y); j <= static_cast<int>(hi_y); ++j) {
      for (int i = static_cast<int>(lo_x); i <= static_cast<int>(hi_x); ++i) {
        const float px = static_cast<float>(i) + 0.5f;
        const float py = static_cast<float>(j) + 0.5f;
        const float w0 = (sy[2] - sy[1]) * (px - sx[1]) - (sx[2] - sx[1]) * (py - sy[1]);
        const float w1 = (sy[0] - sy[2]) * (px - sx[2]) - (sx[0] - sx[2]) * (py - sy[2]);
        const float w2 = (sy[1] - sy[0]) * (px - sx[0]) - (sx[1] - sx[0]) * (py - sy[0]);
        const bool inside =
            E > 0 ? (w0 >= 0 && w1 >= 0 && w2 >= 0) : (w0 <= 0 && w1 <= 0 && w2 <= 0);
        if (!inside) continue;
        const float q = w0 / E * (1.0f / d[0]) + w1 / E * (1.0f / d[1]) + w2 / E * (1.0f / d[2]);
        if (q <= 0.0f) continue;
        const float z = 1.0f / q;
        const std::size_t k = std::size_t(j) * width + std::size_t(i);
        if (z < frame.depth[k]) {
          frame.depth[k] = z;
          put(frame, k, c.r, c.g, c.b);
        }
      }
    }
  }
  return frame;
}

}  // namespace facetview::testing
