// Comparisons of points and normals for the mesh tests.
#pragma once

#include <gtest/gtest.h>

#include <cmath>

#include "stl/vec3.hpp"

namespace facetview {

inline void expect_near(Vec3 actual, Vec3 expected, float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline float length(Vec3 v) {
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

}  // namespace facetview
