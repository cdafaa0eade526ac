#include "raster/mesh_edges.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace facetview {
namespace {

// Corners closer than this share of the mesh's largest coordinate are one
// corner: meshes whose neighbouring faces got their corners from separate
// computations (a seam closing a revolved surface) still join.
constexpr double kWeldShare = 0x1p-21;

// A corner's position on the grid of welded positions.
struct GridPoint {
  std::int32_t x, y, z;
  friend bool operator==(const GridPoint&, const GridPoint&) = default;
  friend auto operator<=>(const GridPoint&, const GridPoint&) = default;
};

// An edge while faces are gathered: its corners in a fixed order, the first
// two faces' normals and how many faces share it.
struct GatheredEdge {
  GridPoint from_key, to_key;
  Vec3 from, to;
  Vec3 first_normal, second_normal;
  std::uint32_t faces;
};

// Both corners' cells, mixed so that every bit of the result depends on
// every bit of them (the table takes the low bits, the tags the high ones).
std::uint64_t edge_hash(GridPoint a, GridPoint b) {
  std::uint64_t hash = 0;
  for (const std::int32_t value : {a.x, a.y, a.z, b.x, b.y, b.z}) {
    hash = (hash ^ static_cast<std::uint32_t>(value)) * 0x9e3779b97f4a7c15ull;
    hash ^= hash >> 29;
  }
  hash *= 0xbf58476d1ce4e5b9ull;
  return hash ^ (hash >> 31);
}

Vec3 cross_of(const Triangle& t) {
  const Vec3& a = t.vertices[0];
  const Vec3& b = t.vertices[1];
  const Vec3& c = t.vertices[2];
  return {(b.y - a.y) * (c.z - a.z) - (b.z - a.z) * (c.y - a.y),
          (b.z - a.z) * (c.x - a.x) - (b.x - a.x) * (c.z - a.z),
          (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x)};
}

float length_of(Vec3 v) {
  return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

bool at_crease(Vec3 first, Vec3 second) {
  static const float kCreaseCosine =
      static_cast<float>(std::cos(kCreaseAngleDegrees * std::numbers::pi / 180.0));
  const float dot = first.x * second.x + first.y * second.y + first.z * second.z;
  return !(dot >= kCreaseCosine * length_of(first) * length_of(second));
}

// Open addressing over the edges gathered so far, by their two corners.
class EdgeTable {
 public:
  EdgeTable(std::size_t most_edges, double cell) : per_cell_(1.0 / cell) {
    std::size_t size = 16;
    while (size < most_edges + most_edges / 4) size *= 2;  // at most 80 % full
    slots_.assign(size, kEmpty);
    // A closed mesh has half as many edges as face sides.
    edges_.reserve(most_edges / 2 + 16);
  }

  // The corners are finite.
  void add(Vec3 a, Vec3 b, Vec3 normal) {
    GridPoint a_key = on_grid(a);
    GridPoint b_key = on_grid(b);
    if (a_key == b_key) return;  // collapsed by the weld
    if (b_key < a_key) {
      std::swap(a, b);
      std::swap(a_key, b_key);
    }
    const std::size_t mask = slots_.size() - 1;
    const std::uint64_t hash = edge_hash(a_key, b_key);
    // A slot holds an edge's index and the high half of its hash, so that
    // most edges that merely share the slot are told apart without a look at them.
    const std::uint64_t tag = hash & ~std::uint64_t{0xffffffff};
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      if (slots_[slot] == kEmpty) {
        slots_[slot] = tag | edges_.size();
        edges_.push_back({a_key, b_key, a, b, normal, {}, 1});
        return;
      }
      if ((slots_[slot] & ~std::uint64_t{0xffffffff}) != tag) continue;
      GatheredEdge& edge = edges_[slots_[slot] & 0xffffffff];
      if (edge.from_key == a_key && edge.to_key == b_key) {
        if (edge.faces == 1) edge.second_normal = normal;
        ++edge.faces;
        return;
      }
    }
  }

  const std::vector<GatheredEdge>& edges() const { return edges_; }

 private:
  // Coordinates are at most 2^21 cells from the origin, so they fit and
  // truncating half a cell further out rounds them.
  std::int32_t on_grid(float coordinate) const {
    const double cells = coordinate * per_cell_;
    return static_cast<std::int32_t>(cells + (cells < 0.0 ? -0.5 : 0.5));
  }
  GridPoint on_grid(Vec3 point) const {
    return {on_grid(point.x), on_grid(point.y), on_grid(point.z)};
  }

  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
  double per_cell_;
  std::vector<std::uint64_t> slots_;
  std::vector<GatheredEdge> edges_;
};

// Faces without an area or with non-finite corners have no direction.
bool has_direction(const Triangle& triangle, Vec3 normal) {
  for (const Vec3& corner : triangle.vertices) {
    if (!std::isfinite(corner.x) || !std::isfinite(corner.y) || !std::isfinite(corner.z)) {
      return false;
    }
  }
  const float length = length_of(normal);
  return length > 0.0f && std::isfinite(length);
}

}  // namespace

MeshEdges find_mesh_edges(const Mesh& mesh) {
  double largest = 0.0;
  for (const Triangle& triangle : mesh.triangles) {
    for (const Vec3& corner : triangle.vertices) {
      for (const float value : {corner.x, corner.y, corner.z}) {
        if (std::isfinite(value)) largest = std::max(largest, std::fabs(double{value}));
      }
    }
  }
  EdgeTable table(mesh.triangles.size() * 3, largest > 0.0 ? largest * kWeldShare : 1.0);
  for (const Triangle& triangle : mesh.triangles) {
    const Vec3 normal = cross_of(triangle);
    if (!has_direction(triangle, normal)) continue;
    for (int k = 0; k < 3; ++k) {
      table.add(triangle.vertices[k], triangle.vertices[(k + 1) % 3], normal);
    }
  }
  MeshEdges found;
  found.edges.reserve(table.edges().size());
  for (const GatheredEdge& edge : table.edges()) {
    const bool always = edge.faces != 2 || at_crease(edge.first_normal, edge.second_normal);
    found.edges.push_back({edge.from, edge.to, edge.first_normal, edge.second_normal, always});
  }
  return found;
}

}  // namespace facetview
