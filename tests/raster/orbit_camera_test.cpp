// OrbitCamera: the same pixels as Camera where they agree, and no holes where
// triangles cross the near limit.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "raster/frame_values.hpp"
#include "raster/renderer.hpp"
#include "raster/triangle_batch.hpp"
#include "raster/triangle_pipeline.hpp"
#include "scenes.hpp"
#include "sphere_mesh.hpp"
#include "view_geometry.hpp"

namespace facetview {
namespace {

using namespace testing;

// Scenes whose corners all lie within 1.2 of the origin stay beyond the near
// limit for every zoom the renderer accepts (D >= 1.3).
TEST(OrbitCamera, DrawsTheFramesOfTheEquivalentCamera) {
  std::mt19937 engine(5);
  std::uniform_real_distribution<float> angle(-7.0f, 7.0f), zoom(0.3f, 3.0f), extent(0.1f, 0.69f);
  std::uniform_int_distribution<std::uint32_t> side(1, 140);
  for (int scene = 0; scene < 60; ++scene) {
    const Mesh mesh =
        scene == 0 ? uv_sphere(40, 60, 1.15f) : random_soup(1 + scene * 7, extent(engine), scene);
    const Camera camera{angle(engine), angle(engine), angle(engine), zoom(engine)};
    const float clamped = std::fmin(std::fmax(camera.zoom, 0.45f), 2.5f);
    const OrbitCamera orbit{{}, 3.25f / clamped, camera.pitch, camera.yaw, camera.roll};
    const std::uint32_t w = side(engine), h = side(engine);
    SCOPED_TRACE("scene " + std::to_string(scene));
    EXPECT_TRUE(
        same_bits(frame_of(rendered(mesh, orbit, w, h)), frame_of(rendered(mesh, camera, w, h))));
  }
}

// Nearer than Camera ever goes, a face keeps the colour it has at Camera's
// nearest: a close look does not fade the model into the distance blend.
TEST(OrbitCamera, CloseViewsKeepTheColoursOfCamerasNearestView) {
  const auto centre_colour = [](float distance) {
    // A face towards the eye with its centroid on the target, as large on screen at any distance.
    const float s = distance / 1.3f;
    const Mesh face = quad({-0.4f * s, -0.3f * s, 0}, {0.4f * s, -0.3f * s, 0},
                           {0.4f * s, 0.3f * s, 0}, {-0.4f * s, 0.3f * s, 0});
    return pixel_at(rendered(face, OrbitCamera{{}, distance, 0.0f, 0.0f}, 60, 40), 30, 20);
  };
  const Rgba nearest = centre_colour(3.25f / 2.5f);
  for (const float distance : {0.15f, 0.6f}) {
    const Rgba close = centre_colour(distance);
    // Within rounding of the eye's direction.
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(close[k], nearest[k], 1) << distance;
  }
}

// Where the eye's view of the surface reaches the near limit, every pixel
// whose centre sees the surface at least that far away is drawn, and no other.
struct CoverageCase {
  std::string name;
  Mesh mesh;
  OrbitCamera camera;
  // The view depth at which the ray through a pixel centre meets the
  // surface's front side, or NaN where it does not.
  std::function<double(const Ray&)> hit;
};

std::vector<CoverageCase> coverage_cases() {
  // A floor of 2 x 2 at y = 0, seen from 0.04 above it.
  const Mesh floor = quad({-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {-1, 0, -1});
  const auto floor_hit = [](const Ray& ray) {
    const double t = -ray.origin.y / ray.direction.y;
    const Point p = ray.at(t);
    return t > 0 && std::fabs(p.x) <= 1 && std::fabs(p.z) <= 1 ? t : std::nan("");
  };
  // The cube [-1, 1]^3 from 0.05 outside its corner (1, 1, 1), facing its centre.
  const double diagonal = std::sqrt(3.0);
  const OrbitCamera corner_view{{},
                                static_cast<float>(diagonal + 0.05),
                                static_cast<float>(std::asin(1.0 / diagonal)),
                                static_cast<float>(-std::numbers::pi / 4)};
  const Mesh cube = box_mesh({-1, -1, -1}, {1, 1, 1});
  const auto cube_hit = [](const Ray& ray) { return box_entry({-1, -1, -1}, {1, 1, 1}, ray); };
  return {
      {"floor", floor, {{0.0f, 0.0f, 0.0f}, 0.4f, 0.1f, 0.3f}, floor_hit},
      {"floor_turned", floor, {{0.3f, 0.0f, -0.2f}, 0.2f, 0.2f, 2.0f, 0.1f}, floor_hit},
      {"cube_corner", cube, corner_view, cube_hit},
      // Orthographic: rays parallel to the view axis, through each pixel centre.
      {"cube_orthographic", cube, {{0.2f, -0.1f, 0.0f}, 3.0f, 0.4f, 0.6f, 0.1f, true}, cube_hit},
  };
}

class NearLimit : public ::testing::TestWithParam<CoverageCase> {};

TEST_P(NearLimit, EveryPixelThatSeesTheSurfaceIsDrawn) {
  const CoverageCase& c = GetParam();
  const std::uint32_t w = 160, h = 100;
  const Renderer renderer = rendered(c.mesh, c.camera, w, h);
  int drawn_inside = 0;
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < w; ++x) {
      // Decided only where the four points a quarter pixel from the centre agree.
      int seen = 0;
      for (const auto& [dx, dy] :
           {std::pair{-0.25, -0.25}, {0.25, -0.25}, {-0.25, 0.25}, {0.25, 0.25}}) {
        const double depth = c.hit(ray_through(c.camera, w, h, x + 0.5 + dx, y + 0.5 + dy));
        seen += depth >= kNearLimit ? 1 : 0;
      }
      if (seen == 0 || seen == 4) {
        ASSERT_EQ(covered(renderer, x, y), seen == 4) << c.name << " pixel " << x << ", " << y;
        drawn_inside += seen == 4;
      }
    }
  }
  EXPECT_GT(drawn_inside, int(w * h / 4));  // the case does fill much of the frame
}

INSTANTIATE_TEST_SUITE_P(Views, NearLimit, ::testing::ValuesIn(coverage_cases()),
                         [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace facetview
