#include "stl/mesh.hpp"

#include <gtest/gtest.h>

namespace facetview {
namespace {

TEST(DemoMesh, HasTwelveTriangles) {
  const Mesh mesh = Mesh::demo_mesh();
  EXPECT_EQ(mesh.name, "demo hull");
  EXPECT_EQ(mesh.triangles.size(), 12u);
}

}  // namespace
}  // namespace facetview
