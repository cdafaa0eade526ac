// OrbitCamera: the same pixels as Camera where they agree, no holes where
// triangles cross the near limit, and orthographic projection and panning.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>

#include "raster/frame_values.hpp"
#include "raster/renderer.hpp"
#include "raster/triangle_batch.hpp"
#include "raster/triangle_pipeline.hpp"
#include "sphere_mesh.hpp"
#include "view_geometry.hpp"

namespace facetview {
namespace {

using testing::box_mesh;
using testing::covered;
using testing::quad;

Mesh random_soup(std::uint32_t count, float extent, std::uint32_t seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<float> coord(-extent, extent);
  const auto point = [&] { return Vec3{coord(engine), coord(engine), coord(engine)}; };
  Mesh mesh;
  for (std::uint32_t i = 0; i < count; ++i) {
    mesh.triangles.push_back(make_triangle({}, point(), point(), point()));
  }
  return mesh;
}

bool same_bits(const Renderer& a, const Renderer& b) {
  return a.framebuffer() == b.framebuffer() &&
         std::memcmp(a.depth().data(), b.depth().data(), a.depth().size() * sizeof(float)) == 0;
}

Renderer rendered(const Mesh& mesh, const AnyCamera& camera, std::uint32_t w, std::uint32_t h) {
  Renderer renderer(w, h);
  renderer.render(mesh, camera);
  return renderer;
}

// Scenes whose corners all lie within 1.2 of the origin stay beyond the near
// limit for every zoom the renderer accepts (D >= 1.3).
TEST(OrbitCamera, DrawsTheFramesOfTheEquivalentCamera) {
  std::mt19937 engine(5);
  std::uniform_real_distribution<float> angle(-7.0f, 7.0f), zoom(0.3f, 3.0f), extent(0.1f, 0.69f);
  std::uniform_int_distribution<std::uint32_t> side(1, 140);
  for (int scene = 0; scene < 60; ++scene) {
    const Mesh mesh = scene == 0 ? testing::uv_sphere(40, 60, 1.15f)
                                 : random_soup(1 + scene * 7, extent(engine), scene);
    const Camera camera{angle(engine), angle(engine), angle(engine), zoom(engine)};
    const float clamped = std::fmin(std::fmax(camera.zoom, 0.45f), 2.5f);
    const OrbitCamera orbit{{}, 3.25f / clamped, camera.pitch, camera.yaw, camera.roll};
    const std::uint32_t w = side(engine), h = side(engine);
    SCOPED_TRACE("scene " + std::to_string(scene));
    EXPECT_TRUE(same_bits(rendered(mesh, orbit, w, h), rendered(mesh, camera, w, h)));
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
    const Renderer renderer = rendered(face, OrbitCamera{{}, distance, 0.0f, 0.0f}, 60, 40);
    return std::vector<std::uint8_t>(renderer.framebuffer().begin() + (20 * 60 + 30) * 4,
                                     renderer.framebuffer().begin() + (20 * 60 + 31) * 4);
  };
  const std::vector<std::uint8_t> nearest = centre_colour(3.25f / 2.5f);
  for (const float distance : {0.15f, 0.6f}) {
    const std::vector<std::uint8_t> close = centre_colour(distance);
    for (int channel = 0; channel < 3; ++channel) {
      EXPECT_NEAR(close[channel], nearest[channel], 1)
          << distance;  // rounding of the eye's direction
    }
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
  std::function<double(const testing::Ray&)> hit;
};

std::vector<CoverageCase> coverage_cases() {
  // A floor of 2 x 2 at y = 0, seen from 0.04 above it.
  const double floor_half = 1.0;
  const auto floor_hit = [=](const testing::Ray& ray) {
    const double t = -ray.origin.y / ray.direction.y;
    const testing::Point p = ray.at(t);
    return t > 0 && std::fabs(p.x) <= floor_half && std::fabs(p.z) <= floor_half ? t : std::nan("");
  };
  // The cube [-1, 1]^3 from 0.05 outside its corner (1, 1, 1), facing its centre.
  const double diagonal = std::sqrt(3.0);
  const OrbitCamera corner_view{{},
                                static_cast<float>(diagonal + 0.05),
                                static_cast<float>(std::asin(1.0 / diagonal)),
                                static_cast<float>(-std::numbers::pi / 4)};
  return {
      {"floor",
       quad({-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {-1, 0, -1}),
       {{0.0f, 0.0f, 0.0f}, 0.4f, 0.1f, 0.3f},
       floor_hit},
      {"floor_turned",
       quad({-1, 0, 1}, {1, 0, 1}, {1, 0, -1}, {-1, 0, -1}),
       {{0.3f, 0.0f, -0.2f}, 0.2f, 0.2f, 2.0f, 0.1f},
       floor_hit},
      {"cube_corner", box_mesh({-1, -1, -1}, {1, 1, 1}), corner_view,
       [](const testing::Ray& ray) {
         return testing::box_entry({-1, -1, -1}, {1, 1, 1}, ray);
       }},
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
        const double depth =
            c.hit(testing::ray_through(c.camera, w, h, x + 0.5 + dx, y + 0.5 + dy));
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

// Triangles cut at the near limit go through the grouped front end in their
// place in the list, as one by one.
TEST(NearLimit, GroupedFrontEndDrawsThePiecesOfThePlainPath) {
  Mesh mesh = random_soup(301, 2.0f, 9);
  // Hostile corners among them: the overlay and the cuts must stay inside the frame.
  const float bad[] = {NAN, INFINITY, -INFINITY, 3.4e38f, -3.4e38f};
  for (std::size_t i = 0; i < 40; ++i) mesh.triangles[i * 7].vertices[i % 3].y = bad[i % 5];
  for (const OrbitCamera& camera :
       {OrbitCamera{{0.1f, 0.2f, 0.3f}, 0.9f, 0.3f, 0.5f, 0.2f},
        OrbitCamera{{0.1f, 0.2f, 0.3f}, 0.9f, 0.3f, 0.5f, 0.2f, true},
        OrbitCamera{{0, 0, 0}, 1e-30f, 1.0f, 2.0f}, OrbitCamera{{1e30f, 0, 0}, 3e38f, 0.0f, 0.0f},
        OrbitCamera{{0, 0, 0}, 1.0f, NAN, 0.0f}}) {
    const FrameValues frame = make_frame_values(camera, 90, 70);
    std::vector<std::uint8_t> rgba[2] = {std::vector<std::uint8_t>(90 * 70 * 4),
                                         std::vector<std::uint8_t>(90 * 70 * 4)};
    std::vector<float> depth[2] = {std::vector<float>(90 * 70, INFINITY),
                                   std::vector<float>(90 * 70, INFINITY)};
    for (const Triangle& t : mesh.triangles) draw_triangle(t, frame, {rgba[0], depth[0], 90});
    draw_triangles(mesh.triangles, frame, {rgba[1], depth[1], 90});
    EXPECT_EQ(rgba[0], rgba[1]);
    EXPECT_EQ(0, std::memcmp(depth[0].data(), depth[1].data(), depth[0].size() * sizeof(float)));
    Renderer renderer(90, 70);
    renderer.render(mesh, camera, {.edges = true, .axis_triad = true});
  }
}

// Two long strips, parallel in the model, one far behind the other: the slope
// of each on screen, from the rows its columns cover.
std::pair<double, double> strip_slopes(bool orthographic) {
  Mesh strips =
      quad({-1.5f, 0.1f, 0.8f}, {1.5f, 0.6f, 0.8f}, {1.5f, 0.7f, 0.8f}, {-1.5f, 0.2f, 0.8f});
  const Mesh far = quad({-1.5f, -0.9f, -0.8f}, {1.5f, -0.4f, -0.8f}, {1.5f, -0.3f, -0.8f},
                        {-1.5f, -0.8f, -0.8f});
  strips.triangles.insert(strips.triangles.end(), far.triangles.begin(), far.triangles.end());
  const Renderer renderer =
      rendered(strips, OrbitCamera{{}, 2.6f, 0.0f, 0.5f, 0.0f, orthographic}, 320, 240);
  const auto slope = [&](std::uint32_t first_row, std::uint32_t last_row) {
    double sx = 0, sy = 0, sxx = 0, sxy = 0, n = 0;
    for (std::uint32_t x = 0; x < 320; ++x) {
      double rows = 0, count = 0;
      for (std::uint32_t y = first_row; y < last_row; ++y) {
        if (covered(renderer, x, y)) rows += y, ++count;
      }
      if (count == 0) continue;
      const double mean = rows / count;
      sx += x, sy += mean, sxx += double(x) * x, sxy += x * mean, ++n;
    }
    return (n * sxy - sx * sy) / (n * sxx - sx * sx);
  };
  return {slope(0, 120), slope(120, 240)};
}

TEST(Orthographic, ParallelEdgesStayParallel) {
  const auto [near_slope, far_slope] = strip_slopes(true);
  EXPECT_NEAR(near_slope, far_slope, 0.002);
  // Perspective makes the far strip shorter and flatter: the check has teeth.
  const auto [near_perspective, far_perspective] = strip_slopes(false);
  EXPECT_GT(std::fabs(near_perspective - far_perspective), 0.01);
}

// A shift of the target across the screen moves what lies at its depth by
// that shift times the scale at the target's depth, in either projection.
TEST(OrbitCamera, PanningMovesThePictureByTheExpectedPixels) {
  const std::uint32_t w = 200, h = 120;
  for (const bool orthographic : {false, true}) {
    OrbitCamera camera{{}, 3.0f, 0.0f, 0.0f, 0.0f, orthographic};
    const Mesh plate = quad({-0.3f, -0.2f, 0}, {0.3f, -0.2f, 0}, {0.3f, 0.2f, 0}, {-0.3f, 0.2f, 0});
    const auto centre = [&] {
      const Renderer renderer = rendered(plate, camera, w, h);
      double sx = 0, sy = 0, n = 0;
      for (std::uint32_t y = 0; y < h; ++y) {
        for (std::uint32_t x = 0; x < w; ++x) {
          if (covered(renderer, x, y)) sx += x + 0.5, sy += y + 0.5, ++n;
        }
      }
      return std::pair{sx / n, sy / n};
    };
    const auto [x0, y0] = centre();
    camera.target = {0.25f, -0.1f, 0.0f};
    const auto [x1, y1] = centre();
    const double pixels_per_unit_x = 2.144507 / (double(w) / h) / 3.0 * 0.5 * w;
    const double pixels_per_unit_y = 2.144507 / 3.0 * 0.5 * h;
    SCOPED_TRACE(orthographic ? "orthographic" : "perspective");
    EXPECT_NEAR(x1 - x0, -0.25 * pixels_per_unit_x, 0.3);
    EXPECT_NEAR(y1 - y0, -0.1 * pixels_per_unit_y, 0.3);
  }
}

}  // namespace
}  // namespace facetview
