// Binary STL: an 80-byte header, a little-endian 32-bit triangle count and
// 50-byte records.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

inline constexpr std::size_t kBinaryStlPreambleSize = 84;  // header and triangle count
inline constexpr std::size_t kBinaryStlRecordSize = 50;

// True exactly when the content is 84 + 50 * N bytes long, N being the count
// at offset 80; the header's text plays no part. `start` holds at least the
// content's first 84 bytes, or all of it.
bool is_binary_stl(std::uint64_t content_size, std::string_view start);
inline bool is_binary_stl(std::string_view content) {
  return is_binary_stl(content.size(), content);
}

// Decodes the records of a binary file as they arrive, straight into the
// mesh's triangle list, which is reserved once for the records the content
// can hold, whatever the header claims.
class BinaryStlDecoder {
 public:
  // `preamble` is the content's first 84 bytes; the name comes from the
  // header's printable text, else `default_name`.
  BinaryStlDecoder(std::string_view preamble, std::uint64_t content_size, std::string default_name);

  // The next records in file order; `records` holds whole records. Records
  // beyond the count are ignored.
  void decode(std::string_view records);

  // The triangles decoded so far.
  std::span<const Triangle> triangles() const { return mesh_.triangles; }

  Result<Mesh> finish() &&;

 private:
  Mesh mesh_;
  std::size_t remaining_;
};

// The reason for content that failed as ASCII STL with `ascii_error`: when
// the failure is bytes that no text holds and the content has a binary
// preamble (`start`, its first bytes), a reason that names the triangle
// count, the size it implies and the size found, with `ascii_error` as its
// cause; else `ascii_error` itself.
Error explain_not_binary(Error ascii_error, std::uint64_t content_size, std::string_view start);

// The mesh of a binary file held in memory.
Result<Mesh> decode_binary_stl(std::string_view content, std::string default_name);

}  // namespace facetview
