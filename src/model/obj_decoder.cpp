#include "model/obj_decoder.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "common/text_words.hpp"
#include "model/float_literal.hpp"
#include "model/polygon_fan.hpp"

namespace facetview {
namespace {

class ObjReader {
 public:
  explicit ObjReader(const MaterialLibraryReader& materials) : materials_(materials) {}

  Status read_line(std::string_view line) {
    // A comment runs to the end of the line.
    line = line.substr(0, line.find('#'));
    AsciiWords words(line);
    const std::optional<std::string_view> keyword = words.next();
    if (keyword == "v") return read_vertex(words);
    if (keyword == "f") return read_face(words);
    if (keyword == "mtllib") read_libraries(words);
    if (keyword == "usemtl") use_material(material_name(words.rest()));
    return Status::success();
  }

  Result<Mesh> finish(std::string name) && {
    Result<Mesh> mesh = mesh_of_faces(std::move(triangles_), std::move(name), "OBJ");
    if (mesh && painted_) {
      colours_.resize(mesh->triangles.size(), kUnpaintedFace);
      mesh->colours = std::move(colours_);
    }
    return mesh;
  }

 private:
  void read_libraries(AsciiWords& words) {
    if (!materials_) return;
    while (const std::optional<std::string_view> file = words.next()) {
      if (const std::optional<std::string> content = materials_(*file)) {
        for (const auto& [name, colour] : parse_material_library(*content)) {
          library_.insert_or_assign(name, colour);
        }
      }
    }
  }

  void use_material(std::string_view name) {
    const auto found = library_.find(name);
    current_ = found == library_.end() ? std::nullopt : std::optional(found->second);
  }

  // x, y and z; a w or a vertex colour after them is passed over.
  Status read_vertex(AsciiWords& words) {
    float xyz[3];
    for (float& value : xyz) {
      const std::optional<std::string_view> word = words.next();
      if (!word) return Error("vertex has fewer than three coordinates");
      const std::optional<float> number = parse_float_literal(*word);
      if (!number) return Error("invalid number '" + std::string(*word) + "'");
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
      corners_.push_back(*corner);
    }
    if (corners_.size() < 3) return Error("face has fewer than three vertices");
    const std::size_t first = triangles_.size();
    Status added = append_polygon_fan(triangles_, vertices_, corners_);
    if (added && current_) {
      // The faces before the first painted one are unpainted.
      painted_ = true;
      colours_.resize(first, kUnpaintedFace);
      colours_.resize(triangles_.size(), *current_);
    }
    return added;
  }

  // The zero-based index of a corner's vertex.
  Result<std::uint64_t> vertex_index(std::string_view word) const {
    const std::optional<std::int64_t> index = parse_integer(word);
    if (!index) return Error("invalid vertex index '" + std::string(word) + "'");
    const auto count = static_cast<std::int64_t>(vertices_.size());
    if (*index == 0 || *index > count || *index < -count) {
      return Error("vertex index " + std::to_string(*index) + " out of range for " +
                   std::to_string(count) + " vertices");
    }
    return static_cast<std::uint64_t>(*index > 0 ? *index - 1 : count + *index);
  }

  std::vector<Vec3> vertices_;
  std::vector<Triangle> triangles_;
  std::vector<std::uint64_t> corners_;  // of the face being read, reused
  const MaterialLibraryReader& materials_;
  std::map<std::string, FaceColour, std::less<>> library_;
  std::optional<FaceColour> current_;  // of the last usemtl
  std::vector<FaceColour> colours_;    // up to the last painted face
  bool painted_ = false;
};

}  // namespace

Result<Mesh> decode_obj(std::string_view content, std::string name,
                        const MaterialLibraryReader& materials) {
  ObjReader reader(materials);
  LineSplitter lines(content);
  while (const std::optional<std::string_view> line = lines.next()) {
    if (Status read = reader.read_line(*line); !read) {
      return std::move(read).error().with_context("OBJ line " +
                                                  std::to_string(lines.line_number()));
    }
  }
  return std::move(reader).finish(std::move(name));
}

}  // namespace facetview
