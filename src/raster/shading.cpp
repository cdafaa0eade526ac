#include "raster/shading.hpp"

#include <cmath>

namespace facetview {
namespace {

// Unit vector along (0.7, 0.9, 0.55): up, right and towards the viewer.
constexpr Vec3 kLight{0.5529668f, 0.7109573f, 0.4344739f};
constexpr LinearColour kHighTint{0.86f, 0.72f, 0.56f};
constexpr LinearColour kLowTint{0.47f, 0.62f, 0.78f};
constexpr LinearColour kRimTint{1.0f, 0.96f, 0.9f};
constexpr LinearColour kNearColour{0.14f, 0.17f, 0.2f};

float dot(Vec3 a, Vec3 b) {
  return a.x * b.x + a.y * b.y + a.z * b.z;
}

// Unit length, or zero when the vector is too short to have a direction.
Vec3 normalized_or_zero(Vec3 v) {
  const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
  if (length <= kShortestDirectionLength) return {};
  return {v.x / length, v.y / length, v.z / length};
}

// max(value, 0), where a NaN operand is ignored and so gives 0.
float at_least_zero(float value) {
  return value > 0.0f ? value : 0.0f;
}

float mix(float weight, float first, float second) {
  return weight * first + (1.0f - weight) * second;
}

// The colour that light and rim glow act on: the face's own, else the tint by height.
LinearColour base_colour(const FaceColour* face, float height) {
  if (face != nullptr) {
    return {(*face)[0] / 255.0f, (*face)[1] / 255.0f, (*face)[2] / 255.0f};
  }
  return {mix(height, kHighTint.red, kLowTint.red), mix(height, kHighTint.green, kLowTint.green),
          mix(height, kHighTint.blue, kLowTint.blue)};
}

}  // namespace

Rgba shade_triangle(const std::array<Vec3, 3>& view, const FrameValues& frame,
                    const FaceColour* face) {
  const Vec3& v0 = view[0];
  const Vec3& v1 = view[1];
  const Vec3& v2 = view[2];
  const Vec3 normal = normalized_or_zero({
      (v1.y - v0.y) * (v2.z - v0.z) - (v1.z - v0.z) * (v2.y - v0.y),
      (v1.z - v0.z) * (v2.x - v0.x) - (v1.x - v0.x) * (v2.z - v0.z),
      (v1.x - v0.x) * (v2.y - v0.y) - (v1.y - v0.y) * (v2.x - v0.x),
  });
  const Vec3 centroid{(v0.x + v1.x + v2.x) / 3.0f, (v0.y + v1.y + v2.y) / 3.0f,
                      (v0.z + v1.z + v2.z) / 3.0f};
  const Vec3 to_eye = normalized_or_zero({-centroid.x, -centroid.y, frame.distance - centroid.z});

  const float diffuse = at_least_zero(dot(normal, kLight));
  // n.v may round to one ulp above 1 when n and v are parallel; a negative base
  // would make the power NaN, so the base stops at 0.
  const float rim_base = at_least_zero(1.0f - at_least_zero(dot(normal, to_eye)));
  const float rim = std::pow(rim_base, 2.2f);

  const float height = clamp_to(0.4f * centroid.y + 0.5f, 0.0f, 1.0f);
  const float light = 0.72f * diffuse + 0.22f;
  const float rim_glow = 0.18f * rim;
  const LinearColour base = base_colour(face, height);
  const LinearColour lit{base.red * light + rim_glow * kRimTint.red,
                         base.green * light + rim_glow * kRimTint.green,
                         base.blue * light + rim_glow * kRimTint.blue};

  const float far_share =
      clamp_to((frame.blend_distance - centroid.z) / frame.blend_span, 0.0f, 1.0f);
  const float near_share = 1.0f - far_share;
  return opaque_pixel(mix(near_share, kNearColour.red, lit.red),
                      mix(near_share, kNearColour.green, lit.green),
                      mix(near_share, kNearColour.blue, lit.blue));
}

}  // namespace facetview
