#include "model/array_mesh.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "model/bounds.hpp"
#include "model/polygon_fan.hpp"

namespace facetview {
namespace {

constexpr std::size_t kRowLength = 3;

// Items of one packed array, read in order; integers exactly, reals as doubles.
class ItemReader {
 public:
  explicit ItemReader(const PackedArray& array) : array_(array) {}

  std::size_t count() const { return array_.bytes.size() / array_.type.size; }

  double real(std::size_t index) const {
    const std::array<unsigned char, 8> bytes = load(index);
    if (array_.type.size == 4)
      return static_cast<double>(std::bit_cast<float>(as<std::uint32_t>(bytes)));
    return std::bit_cast<double>(as<std::uint64_t>(bytes));
  }

  // The integer at index; nothing when it is negative.
  std::optional<std::uint64_t> index(std::size_t index) const {
    const std::array<unsigned char, 8> bytes = load(index);
    const std::size_t size = array_.type.size;
    std::uint64_t value = as<std::uint64_t>(bytes);
    if (array_.type.kind == ItemType::Kind::signed_integer && size < 8) {
      // Sign-extend from the item's width.
      const unsigned shift = 64 - 8 * static_cast<unsigned>(size);
      value = static_cast<std::uint64_t>(static_cast<std::int64_t>(value << shift) >> shift);
    }
    if (array_.type.kind == ItemType::Kind::signed_integer &&
        static_cast<std::int64_t>(value) < 0) {
      return std::nullopt;
    }
    return value;
  }

 private:
  // The item's bytes in this machine's order, zero-filled above its size.
  std::array<unsigned char, 8> load(std::size_t index) const {
    static_assert(std::endian::native == std::endian::little, "items are widened little-endian");
    std::array<unsigned char, 8> bytes{};
    const std::size_t size = array_.type.size;
    std::memcpy(bytes.data(), array_.bytes.data() + index * size, size);
    if (array_.type.swapped) std::reverse(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return bytes;
  }

  template <class T>
  static T as(const std::array<unsigned char, 8>& bytes) {
    T value;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
  }

  const PackedArray& array_;
};

Result<std::vector<Vec3>> read_vertices(const PackedArray& array) {
  const ItemReader items(array);
  std::vector<Vec3> vertices(items.count() / kRowLength);
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    float xyz[3];
    for (std::size_t axis = 0; axis < kRowLength; ++axis) {
      const double value = items.real(i * kRowLength + axis);
      // Finite doubles beyond the float range would become infinities too.
      if (!std::isfinite(value) || std::fabs(value) > std::numeric_limits<float>::max()) {
        return Error("vertex " + std::to_string(i) +
                     " has a coordinate that is NaN, infinite "
                     "or beyond the 32-bit float range");
      }
      xyz[axis] = static_cast<float>(value);
    }
    vertices[i] = {xyz[0], xyz[1], xyz[2]};
  }
  return vertices;
}

}  // namespace

std::optional<ItemType> item_type_from_format(std::string_view format, std::size_t item_size) {
  bool swapped = false;
  if (!format.empty() && std::string_view("@=<>!").find(format.front()) != std::string_view::npos) {
    swapped = format.front() == '>' || format.front() == '!';
    format.remove_prefix(1);
  }
  if (format.size() != 1) return std::nullopt;
  const char code = format.front();
  ItemType type{ItemType::Kind::real, item_size, swapped};
  if (code == 'f' || code == 'd') {
    if ((code == 'f' && item_size != 4) || (code == 'd' && item_size != 8)) return std::nullopt;
    return type;
  }
  if (std::string_view("bhilq").find(code) != std::string_view::npos) {
    type.kind = ItemType::Kind::signed_integer;
  } else if (std::string_view("BHILQ").find(code) != std::string_view::npos) {
    type.kind = ItemType::Kind::unsigned_integer;
  } else {
    return std::nullopt;
  }
  if (item_size != 1 && item_size != 2 && item_size != 4 && item_size != 8) return std::nullopt;
  return type;
}

Result<Mesh> mesh_from_arrays(const PackedArray& vertices, const std::optional<PackedArray>& faces,
                              std::string name) {
  if (vertices.type.kind != ItemType::Kind::real) return Error("vertices are not real numbers");
  if (faces && faces->type.kind == ItemType::Kind::real) return Error("faces are not integers");
  Result<std::vector<Vec3>> points = read_vertices(vertices);
  if (!points) return std::move(points).error();
  Mesh mesh;
  mesh.name = std::move(name);
  if (!faces) {
    if (points->size() % 3 != 0) {
      return Error("without faces the vertices are taken three at a time as triangles, but " +
                   std::to_string(points->size()) + " is not a multiple of 3");
    }
    mesh.triangles.reserve(points->size() / 3);
    for (std::size_t i = 0; i < points->size(); i += 3) {
      const std::vector<Vec3>& p = *points;
      mesh.triangles.push_back(make_triangle(Vec3{}, p[i], p[i + 1], p[i + 2]));
    }
  } else {
    const ItemReader items(*faces);
    const std::size_t face_count = items.count() / kRowLength;
    mesh.triangles.reserve(face_count);
    for (std::size_t f = 0; f < face_count; ++f) {
      std::array<std::uint64_t, 3> corners{};
      for (std::size_t k = 0; k < kRowLength; ++k) {
        const std::optional<std::uint64_t> corner = items.index(f * kRowLength + k);
        if (!corner) return Error("face " + std::to_string(f) + " has a negative vertex index");
        corners[k] = *corner;
      }
      Status added = append_polygon_fan(mesh.triangles, *points, corners);
      if (!added) return std::move(added).error().with_context("face " + std::to_string(f));
    }
  }
  mesh.size = extents(bounds_of(mesh.triangles));
  // Normalization would shrink such a mesh to a point.
  if (!std::isfinite(mesh.size.x + mesh.size.y + mesh.size.z)) {
    return Error("the vertices span more than the 32-bit float range");
  }
  return mesh;
}

}  // namespace facetview
