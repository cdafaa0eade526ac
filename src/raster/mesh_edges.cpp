#include "raster/mesh_edges.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>

#include <sys/mman.h>

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

// A face's side on its way into the table: its corners in a fixed order,
// its face's normal and the hash that picks its first slot.
struct Side {
  GridPoint from_key, to_key;
  const Vec3* from;
  const Vec3* to;
  Vec3 normal;
  std::uint64_t hash;
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

// A big mesh's slot table is far larger than the caches and read at random:
// on huge pages its look-ups miss the TLB far less often. Only whole huge
// pages inside the block can be, and the kernel may decline, which changes
// nothing. (The edges themselves are written in order and gain nothing.)
void reserve_on_huge_pages(std::vector<std::uint64_t>& slots, std::size_t count) {
  slots.reserve(count);
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
  const auto start = reinterpret_cast<std::uintptr_t>(slots.data());
  const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
  const std::uintptr_t last = (start + count * sizeof(std::uint64_t)) & ~(kHugePage - 1);
  if (first < last) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

// Open addressing over the edges gathered so far, by their two corners. The
// edges go straight into the result in the order they are first seen, their
// face counts beside it until the table is done.
class EdgeTable {
 public:
  EdgeTable(std::size_t most_edges, double cell, std::vector<MeshEdge>& edges)
      : per_cell_(1.0 / cell), edges_(edges) {
    std::size_t size = 16;
    while (size < most_edges + most_edges / 4) size *= 2;  // at most 80 % full
    reserve_on_huge_pages(slots_, size);
    slots_.assign(size, kEmpty);
    // A closed mesh has half as many edges as face sides.
    edges_.reserve(most_edges / 2 + 16);
    faces_.reserve(most_edges / 2 + 16);
  }

  // The corners are finite. Returns whether the side is an edge at all, and
  // if so starts loading its first slot, since a big mesh's table is far
  // larger than the caches and that load is most of the work.
  bool prepare(const Vec3& a, const Vec3& b, GridPoint a_key, GridPoint b_key, Vec3 normal,
               Side& side) const {
    if (a_key == b_key) return false;  // collapsed by the weld
    side = b_key < a_key ? Side{b_key, a_key, &b, &a, normal, 0}
                         : Side{a_key, b_key, &a, &b, normal, 0};
    side.hash = edge_hash(side.from_key, side.to_key);
    __builtin_prefetch(&slots_[side.hash & (slots_.size() - 1)]);
    return true;
  }

  void add(const Side& side) {
    const std::size_t mask = slots_.size() - 1;
    // A slot holds an edge's index and the high half of its hash, so that
    // most edges that merely share the slot are told apart without a look at them.
    const std::uint64_t tag = side.hash & ~std::uint64_t{0xffffffff};
    for (std::size_t slot = side.hash & mask;; slot = (slot + 1) & mask) {
      if (slots_[slot] == kEmpty) {
        slots_[slot] = tag | edges_.size();
        edges_.push_back({*side.from, *side.to, side.normal, {}, false});
        faces_.push_back(1);
        return;
      }
      if ((slots_[slot] & ~std::uint64_t{0xffffffff}) != tag) continue;
      const std::size_t index = slots_[slot] & 0xffffffff;
      // An edge's keys are those of the corners it keeps.
      if (on_grid(edges_[index].from) == side.from_key &&
          on_grid(edges_[index].to) == side.to_key) {
        if (faces_[index] == 1) edges_[index].second_normal = side.normal;
        ++faces_[index];
        return;
      }
    }
  }

  // Marks the edges drawn in every view, once all faces are in.
  void settle() const {
    for (std::size_t i = 0; i < edges_.size(); ++i) {
      MeshEdge& edge = edges_[i];
      edge.always = faces_[i] != 2 || at_crease(edge.first_normal, edge.second_normal);
    }
  }

  // Coordinates are at most 2^21 cells from the origin, so they fit and
  // truncating half a cell further out rounds them.
  std::int32_t on_grid(float coordinate) const {
    const double cells = coordinate * per_cell_;
    return static_cast<std::int32_t>(cells + (cells < 0.0 ? -0.5 : 0.5));
  }
  GridPoint on_grid(Vec3 point) const {
    return {on_grid(point.x), on_grid(point.y), on_grid(point.z)};
  }

 private:
  static constexpr std::uint64_t kEmpty = ~std::uint64_t{0};
  double per_cell_;
  std::vector<std::uint64_t> slots_;
  std::vector<MeshEdge>& edges_;
  std::vector<std::uint32_t> faces_;
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
  MeshEdges found;
  EdgeTable table(mesh.triangles.size() * 3, largest > 0.0 ? largest * kWeldShare : 1.0,
                  found.edges);
  // Faces go in by blocks: the sides of a block are all hashed and their
  // slots requested before the first of them is looked up.
  constexpr std::size_t kBlockFaces = 16;
  std::array<Side, 3 * kBlockFaces> sides;
  for (std::size_t start = 0; start < mesh.triangles.size(); start += kBlockFaces) {
    const std::size_t end = std::min(start + kBlockFaces, mesh.triangles.size());
    std::size_t count = 0;
    for (std::size_t t = start; t < end; ++t) {
      const Triangle& triangle = mesh.triangles[t];
      const Vec3 normal = cross_of(triangle);
      if (!has_direction(triangle, normal)) continue;
      const std::array<GridPoint, 3> keys{table.on_grid(triangle.vertices[0]),
                                          table.on_grid(triangle.vertices[1]),
                                          table.on_grid(triangle.vertices[2])};
      for (int k = 0; k < 3; ++k) {
        const int next = (k + 1) % 3;
        count += table.prepare(triangle.vertices[k], triangle.vertices[next], keys[k], keys[next],
                               normal, sides[count]);
      }
    }
    for (std::size_t i = 0; i < count; ++i) table.add(sides[i]);
  }
  table.settle();
  return found;
}

}  // namespace facetview
