// Mesh records: triangles with a settled facet normal, and the named lists of
// them that the rest of the system draws.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/vec3.hpp"

namespace facetview {

struct Triangle {
  Vec3 normal;                   // unit length, or (0, 0, 0) when none can be found
  std::array<Vec3, 3> vertices;  // a, b, c in source order
};

// A triangle's own base colour, red, green and blue bytes, as a file paints it.
using FaceColour = std::array<std::uint8_t, 3>;

// Faces that a partly painted file leaves unpainted take this neutral grey.
inline constexpr FaceColour kUnpaintedFace{200, 200, 200};

// Stored normals no longer than this are treated as absent.
inline constexpr float kShortestCandidateNormal = 0.0001f;

// Every triangle of the system is built here. The candidate normal wins when it
// is long enough (it is scaled to unit length, never flipped); otherwise the
// normal comes from the winding a -> b -> c, or is zero for a degenerate triangle.
Triangle make_triangle(Vec3 candidate_normal, Vec3 a, Vec3 b, Vec3 c);

struct MeshEdges;  // the edges an overlay draws: raster/mesh_edges.hpp

// What the renderer derives from a mesh's triangles, built on first use and
// kept beside them. A copied or moved mesh starts without it, since its
// triangles may be changed afterwards.
template <class Derived>
class DerivedFromTriangles {
 public:
  DerivedFromTriangles() = default;
  DerivedFromTriangles(const DerivedFromTriangles&) {}
  DerivedFromTriangles& operator=(const DerivedFromTriangles&) {
    value_.reset();
    return *this;
  }
  // Frames of one mesh may be drawn on several threads at once (the
  // interpreter lock is released while they render): the first builds it.
  template <class Build>
  const Derived& get(Build build) const {
    const std::lock_guard lock(mutex_);
    if (!value_) value_ = std::make_shared<const Derived>(build());
    return *value_;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::shared_ptr<const Derived> value_;
};

struct Mesh {
  std::string name;  // UTF-8
  std::vector<Triangle> triangles;
  std::optional<std::filesystem::path> source_path;
  // Extents (x, y, z) in the source's own units, before any normalization.
  Vec3 size{};
  DerivedFromTriangles<MeshEdges> edges{};
  // What the reader left out, one line each for the user, such as
  // "skipped 2 faces of fewer than three corners".
  std::vector<std::string> warnings{};
  // One per triangle, in the same order, or empty for a mesh without colours.
  std::vector<FaceColour> colours{};

  // The built-in model: a closed, irregular hull of twelve triangles.
  static Mesh demo_mesh();

  // The mesh centred on the origin with its largest side spanning -1 to 1:
  // a copy, or, from an rvalue, the same triangles changed in place.
  Mesh normalized() const&;
  Mesh normalized() &&;
};

}  // namespace facetview
