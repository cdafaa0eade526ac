#include "model/obj_decoder.hpp"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/shown_text.hpp"
#include "common/text_words.hpp"
#include "model/content_kind.hpp"
#include "model/float_literal.hpp"
#include "model/load_limits.hpp"
#include "model/polygon_fan.hpp"

namespace facetview {
namespace {

// The statements of an OBJ text: lines end in LF, CR LF or CR alone (old Mac
// files), and a line that ends in a backslash goes on in the next one.
class ObjLines {
 public:
  explicit ObjLines(std::string_view text) : text_(without_byte_order_mark(text)) {
    next_lf_ = find('\n', 0);
    next_cr_ = find('\r', 0);
  }

  std::optional<std::string_view> next() {
    if (position_ >= text_.size()) return std::nullopt;
    first_line_ = next_line_;
    std::string_view line = physical_line();
    if (!continues(line)) return line;
    joined_.clear();
    while (continues(line)) {
      joined_.append(line.substr(0, line.find_last_not_of(" \t")));  // without the backslash
      joined_ += ' ';
      if (position_ >= text_.size()) break;
      line = physical_line();
    }
    if (!continues(line)) joined_.append(line);
    return std::string_view(joined_);
  }

  // The line on which the statement that next() handed out last begins, from 1.
  std::size_t line_number() const { return first_line_; }

 private:
  static bool continues(std::string_view line) {
    const std::size_t last = line.find_last_not_of(" \t");
    return last != std::string_view::npos && line[last] == '\\';
  }

  // The offset of the first byte at or after `from` that is `byte`, else the
  // text's size; found with memchr.
  std::size_t find(char byte, std::size_t from) const {
    const void* found = std::memchr(text_.data() + from, byte, text_.size() - from);
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - text_.data())
                 : text_.size();
  }

  std::string_view physical_line() {
    // Each kind of line end is searched for once per occurrence, so that a
    // file with only one kind is not scanned again for the other at every line.
    if (next_lf_ < position_) next_lf_ = find('\n', position_);
    if (next_cr_ < position_) next_cr_ = find('\r', position_);
    const std::size_t end = std::min(next_lf_, next_cr_);
    const std::string_view line = text_.substr(position_, end - position_);
    position_ =
        end + (end + 1 < text_.size() && text_[end] == '\r' && text_[end + 1] == '\n' ? 2 : 1);
    ++next_line_;
    return line;
  }

  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t next_lf_,
      next_cr_;  // the next of each line end, or the size; stale when before position_
  std::string joined_;
  std::size_t next_line_ = 1;
  std::size_t first_line_ = 0;
};

class ObjReader {
 public:
  explicit ObjReader(std::uint64_t max_triangles) : max_triangles_(max_triangles) {}

  Status read_line(std::string_view line) {
    // A comment runs to the end of the line.
    line = line.substr(0, line.find('#'));
    AsciiWords words(line);
    const std::optional<std::string_view> keyword = words.next();
    if (keyword == "v") return read_vertex(words);
    if (keyword == "f") return read_face(words);
    return Status::success();
  }

  Result<Mesh> finish(std::string name) && {
    return mesh_of_faces(std::move(triangles_), std::move(name), "OBJ", skipped_faces_);
  }

 private:
  // x, y and z; a w or a vertex colour after them is passed over.
  Status read_vertex(AsciiWords& words) {
    float xyz[3];
    for (float& value : xyz) {
      const std::optional<std::string_view> word = words.next();
      if (!word) return Error("vertex has fewer than three coordinates");
      const std::optional<float> number = parse_float_literal(*word);
      if (!number) return Error("invalid number '" + shown_text(*word) + "'");
      value = *number;
    }
    vertices_.push_back(Vec3{xyz[0], xyz[1], xyz[2]});
    return Status::success();
  }

  Status read_face(AsciiWords& words) {
    corners_.clear();
    while (const std::optional<std::string_view> word = words.next()) {
      Result<std::uint64_t> corner = vertex_index(word->substr(0, word->find('/')));
      if (!corner) return std::move(corner).error();
      // A fan of n corners makes n - 2 triangles.
      if (!corners_.empty() && corners_.size() - 1 > max_triangles_ - triangles_.size()) {
        return too_many_triangles(max_triangles_);
      }
      corners_.push_back(*corner);
    }
    // A point or a line (f 1// 2//) has no surface to draw.
    if (corners_.size() < 3) {
      ++skipped_faces_;
      return Status::success();
    }
    return append_polygon_fan(triangles_, vertices_, corners_);
  }

  // The zero-based index of a corner's vertex.
  Result<std::uint64_t> vertex_index(std::string_view word) const {
    const std::optional<std::int64_t> index = parse_integer(word);
    if (!index) return Error("invalid vertex index '" + shown_text(word) + "'");
    const auto count = static_cast<std::int64_t>(vertices_.size());
    if (*index == 0 || *index > count || *index < -count) {
      return Error("vertex index " + std::to_string(*index) + " out of range for " +
                   std::to_string(count) + " vertices");
    }
    return static_cast<std::uint64_t>(*index > 0 ? *index - 1 : count + *index);
  }

  std::uint64_t max_triangles_;
  std::vector<Vec3> vertices_;
  std::vector<Triangle> triangles_;
  std::vector<std::uint64_t> corners_;  // of the face being read, reused
  std::uint64_t skipped_faces_ = 0;
};

}  // namespace

Result<Mesh> decode_obj(std::string_view content, std::string name, std::uint64_t max_triangles) {
  ObjReader reader(max_triangles);
  ObjLines lines(content);
  while (const std::optional<std::string_view> line = lines.next()) {
    if (Status read = reader.read_line(*line); !read) {
      return std::move(read).error().with_context("OBJ line " +
                                                  std::to_string(lines.line_number()));
    }
  }
  return std::move(reader).finish(std::move(name));
}

}  // namespace facetview
