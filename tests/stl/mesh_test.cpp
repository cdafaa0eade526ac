#include "stl/mesh.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "vec3_matchers.hpp"

namespace facetview {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr Vec3 kOrigin{0, 0, 0};
constexpr Vec3 kUnitX{1, 0, 0};
constexpr Vec3 kUnitY{0, 1, 0};

struct NormalCase {
  const char* what;
  Vec3 candidate;
  Vec3 a, b, c;
  Vec3 expected;
};

TEST(MakeTriangle, ChoosesTheNormal) {
  const NormalCase cases[] = {
      {"zero candidate: computed from the winding", {}, kOrigin, kUnitX, kUnitY, {0, 0, 1}},
      {"reversed winding flips the computed normal", {}, kOrigin, kUnitY, kUnitX, {0, 0, -1}},
      {"candidate against the winding is kept", {0, 0, -2}, kOrigin, kUnitX, kUnitY, {0, 0, -1}},
      {"long candidate is scaled to unit length", {0, 0, 3}, kOrigin, kUnitY, kUnitX, {0, 0, 1}},
      {"slanted candidate", {3, 0, 4}, kOrigin, kUnitX, kUnitY, {0.6f, 0, 0.8f}},
      {"candidate shorter than 0.0001 is ignored",
       {0, 0, 0.00005f},
       kOrigin,
       kUnitY,
       kUnitX,
       {0, 0, -1}},
      {"candidate of exactly 0.0001 is ignored",
       {0.0001f, 0, 0},
       kOrigin,
       kUnitX,
       kUnitY,
       {0, 0, 1}},
      {"candidate just above 0.0001 wins", {0.00011f, 0, 0}, kOrigin, kUnitX, kUnitY, {1, 0, 0}},
      {"tiny triangle (cross product 1e-8) has no normal",
       {},
       kOrigin,
       {0.0001f, 0, 0},
       {0, 0.0001f, 0},
       {0, 0, 0}},
      {"coincident vertices have no normal", {}, kUnitX, kUnitX, kUnitX, {0, 0, 0}},
      {"collinear vertices have no normal", {}, kOrigin, kUnitX, {2, 0, 0}, {0, 0, 0}},
      {"NaN vertex gives the zero normal", {}, kOrigin, kUnitX, {kNaN, 1, 0}, {0, 0, 0}},
      {"NaN vertex does not matter beside a good candidate",
       {0, 2, 0},
       kOrigin,
       kUnitX,
       {kNaN, 1, 0},
       {0, 1, 0}},
  };
  for (const NormalCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Triangle triangle = make_triangle(c.candidate, c.a, c.b, c.c);
    expect_near(triangle.normal, c.expected, 1e-6f);
    // The vertices are stored bit for bit, NaN included.
    const std::array<Vec3, 3> given{c.a, c.b, c.c};
    EXPECT_EQ(std::memcmp(triangle.vertices.data(), given.data(), sizeof given), 0);
  }
}

TEST(DemoMesh, NameAndFirstTriangle) {
  const Mesh mesh = Mesh::demo_mesh();
  EXPECT_EQ(mesh.name, "demo hull");
  EXPECT_FALSE(mesh.source_path.has_value());
  ASSERT_EQ(mesh.triangles.size(), 12u);
  const Triangle& first = mesh.triangles[0];
  EXPECT_EQ(first.vertices[0], (Vec3{-0.9f, -0.6f, -0.6f}));
  EXPECT_EQ(first.vertices[1], (Vec3{0.8f, -0.6f, -0.6f}));
  EXPECT_EQ(first.vertices[2], (Vec3{0.8f, 0.6f, -0.6f}));
  expect_near(first.normal, {0, 0, 1}, 1e-6f);
  expect_near(mesh.triangles[2].normal, {-0.1227f, 0.1450f, -0.9818f}, 0.00005f);
}

TEST(DemoMesh, EveryNormalIsUnitAndPointsIntoTheHull) {
  const Mesh mesh = Mesh::demo_mesh();
  // The hull is convex, so its vertex average lies inside it.
  Vec3 inside;
  for (const Triangle& t : mesh.triangles) {
    for (const Vec3& v : t.vertices) inside = {inside.x + v.x, inside.y + v.y, inside.z + v.z};
  }
  const float count = 3.0f * static_cast<float>(mesh.triangles.size());
  inside = {inside.x / count, inside.y / count, inside.z / count};
  for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
    SCOPED_TRACE(i);
    const Triangle& t = mesh.triangles[i];
    EXPECT_NEAR(length(t.normal), 1.0f, 1e-6f);
    const Vec3 a = t.vertices[0];
    const Vec3 to_inside{inside.x - a.x, inside.y - a.y, inside.z - a.z};
    EXPECT_GT(t.normal.x * to_inside.x + t.normal.y * to_inside.y + t.normal.z * to_inside.z, 0.0f);
  }
}

TEST(Normalized, DemoMeshUsesCentreAndScale) {
  const Mesh demo = Mesh::demo_mesh();
  const Mesh mesh = demo.normalized();
  ASSERT_EQ(mesh.triangles.size(), demo.triangles.size());
  EXPECT_EQ(mesh.name, "demo hull");
  // Vertex 0 is corner a of triangle 0; vertex 5 is corner c of triangle 2.
  expect_near(mesh.triangles[0].vertices[0], {-1, -0.736842f, -0.736842f}, 1e-6f);
  expect_near(mesh.triangles[2].vertices[2], {1, -0.526316f, 0.526316f}, 1e-6f);
  for (std::size_t i = 0; i < mesh.triangles.size(); ++i) {
    expect_near(mesh.triangles[i].normal, demo.triangles[i].normal, 1e-6f);
  }
}

struct NormalizeCase {
  const char* what;
  Triangle input;
  Triangle expected;
};

TEST(Normalized, SingleTriangles) {
  const NormalizeCase cases[] = {
      {"extent 2 keeps scale 1",
       {{0, 0, 1}, {{{0, 0, 0}, {2, 0, 0}, {0, 1, 0}}}},
       {{0, 0, 1}, {{{-1, -0.5f, 0}, {1, -0.5f, 0}, {-1, 0.5f, 0}}}}},
      {"tiny triangle is scaled by 20000 and gains a normal",
       make_triangle({}, kOrigin, {0.0001f, 0, 0}, {0, 0.0001f, 0}),
       {{0, 0, 1}, {{{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}}}}},
      {"coincident vertices move to the origin, zero normal stays",
       make_triangle({}, {3, 4, 5}, {3, 4, 5}, {3, 4, 5}),
       {{0, 0, 0}, {{kOrigin, kOrigin, kOrigin}}}},
      {"coincident vertices keep a unit normal",
       make_triangle({0, 1, 0}, {3, 4, 5}, {3, 4, 5}, {3, 4, 5}),
       {{0, 1, 0}, {{kOrigin, kOrigin, kOrigin}}}},
      {"stored normal is renormalized, never recomputed",
       {{0, 0, -1}, {{{0, 0, 0}, {4, 0, 0}, {0, 2, 0}}}},
       {{0, 0, -1}, {{{-1, -0.5f, 0}, {1, -0.5f, 0}, {-1, 0.5f, 0}}}}},
  };
  for (const NormalizeCase& c : cases) {
    SCOPED_TRACE(c.what);
    Mesh mesh;
    mesh.triangles = {c.input};
    const Mesh result = mesh.normalized();
    ASSERT_EQ(result.triangles.size(), 1u);
    expect_near(result.triangles[0].normal, c.expected.normal, 1e-5f);
    for (int k = 0; k < 3; ++k) {
      expect_near(result.triangles[0].vertices[k], c.expected.vertices[k], 1e-4f);
    }
  }
}

TEST(Normalized, NaNCoordinateIsIgnoredByTheBox) {
  Mesh mesh;
  mesh.triangles = {make_triangle({0, 0, 1}, {0, 0, 0}, {2, 0, 0}, {0, 1, kNaN})};
  const Mesh result = mesh.normalized();
  const auto& v = result.triangles[0].vertices;
  expect_near(v[0], {-1, -0.5f, 0}, 1e-6f);
  expect_near(v[1], {1, -0.5f, 0}, 1e-6f);
  EXPECT_FLOAT_EQ(v[2].x, -1.0f);
  EXPECT_FLOAT_EQ(v[2].y, 0.5f);
  EXPECT_TRUE(std::isnan(v[2].z));
}

TEST(Normalized, EmptyMeshKeepsNameAndPath) {
  Mesh mesh;
  mesh.name = "empty";
  mesh.source_path = "some/where.stl";
  const Mesh result = mesh.normalized();
  EXPECT_TRUE(result.triangles.empty());
  EXPECT_EQ(result.name, "empty");
  EXPECT_EQ(result.source_path, mesh.source_path);
}

TEST(Normalized, LeavesItsInputAndIsIdempotent) {
  const Mesh demo = Mesh::demo_mesh();
  Mesh input = demo;
  input.source_path = "demo.stl";
  const Mesh once = input.normalized();
  for (std::size_t i = 0; i < demo.triangles.size(); ++i) {
    EXPECT_EQ(input.triangles[i].vertices, demo.triangles[i].vertices);
    EXPECT_EQ(input.triangles[i].normal, demo.triangles[i].normal);
  }
  EXPECT_EQ(once.source_path, input.source_path);
  const Mesh twice = once.normalized();
  for (std::size_t i = 0; i < once.triangles.size(); ++i) {
    SCOPED_TRACE(i);
    expect_near(twice.triangles[i].normal, once.triangles[i].normal, 1e-6f);
    for (int k = 0; k < 3; ++k) {
      expect_near(twice.triangles[i].vertices[k], once.triangles[i].vertices[k], 1e-6f);
    }
  }
}

}  // namespace
}  // namespace facetview
