// Meshes from packed arrays of numbers, as Python's buffer protocol hands
// them out: vertices as rows of x, y, z and faces as rows of three indices.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

struct ItemType {
  enum class Kind { real, signed_integer, unsigned_integer };
  Kind kind;
  std::size_t size;  // bytes per item: 4 or 8 for reals, 1, 2, 4 or 8 for integers
  bool swapped;      // stored in the byte order opposite to this machine's
};

// The item type of a buffer whose struct-module format is `format` (one item
// code, optionally after a byte-order character) with items of `item_size`
// bytes; nothing for formats that hold no plain number of those sizes
// (half floats, booleans, characters, pointers, structures).
std::optional<ItemType> item_type_from_format(std::string_view format, std::size_t item_size);

struct PackedArray {
  std::string_view bytes;  // rows of three items, one after another
  ItemType type;
};

// The mesh of the vertices, with the faces as triangles that index them, or
// without faces each three vertices in a row as one triangle. Every normal
// comes from the winding (make_triangle without a candidate). Fails when a
// vertex coordinate is not finite, a face index is negative or out of range,
// or, without faces, the vertex count is no multiple of 3. The mesh's size is
// the extent of its triangles; it is not normalized.
// `colours`, where given, are rows of red, green and blue as bytes (unsigned
// 8-bit items) or as shares of 1 (reals, clamped; NaN is 0): one row per face
// (per triangle without faces), else one per vertex, each triangle then
// taking the mean of its corners. Fails when the rows match neither count.
Result<Mesh> mesh_from_arrays(const PackedArray& vertices, const std::optional<PackedArray>& faces,
                              std::string name,
                              const std::optional<PackedArray>& colours = std::nullopt);

}  // namespace facetview
