// ASCII STL: UTF-8 text whose "solid", "facet normal" and "vertex" lines make
// the mesh; every other line is ignored.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The reason for content that is no UTF-8, the cause naming the fault.
inline constexpr std::string_view kNotUtf8Message = "ASCII STL is not valid UTF-8";

// Decodes an ASCII file piece by piece, each piece made of whole lines, with
// the errors that decoding the whole text at once would give: a fault in the
// UTF-8 anywhere wins over a bad number before it.
class AsciiStlDecoder {
 public:
  // The mesh is named by the words after "solid" on the first line, else
  // `default_name`. `expected_triangles` sizes the triangle list up front.
  AsciiStlDecoder(std::string default_name, std::size_t expected_triangles);

  // The next piece of the text: whole lines, each ending in a line feed, or,
  // last, whatever follows the last line feed. Fails at once on a UTF-8
  // fault; a bad number only stops the parsing, and finish reports it.
  Status decode(std::string_view text);

  // The triangles decoded so far.
  std::span<const Triangle> triangles() const { return mesh_.triangles; }

  Result<Mesh> finish() &&;

 private:
  Status read_line(std::string_view line);
  void add_vertex(Vec3 point);

  Mesh mesh_;
  Vec3 facet_normal_;
  std::array<Vec3, 3> pending_;
  std::size_t pending_count_ = 0;
  std::size_t line_index_ = 0;
  std::size_t offset_ = 0;  // of the next piece within the text
  std::optional<Error> parse_error_;
};

// The mesh of an ASCII file held in memory.
Result<Mesh> decode_ascii_stl(std::string_view content, std::string default_name);

}  // namespace facetview
