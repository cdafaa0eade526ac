#include "model/threemf_decoder.hpp"

#include <expat.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <vector>

#include "common/shown_text.hpp"
#include "common/text_words.hpp"
#include "common/zip_archive.hpp"
#include "model/float_literal.hpp"

namespace facetview {
namespace {

// Caps on what an archive may unpack to, far above real models.
constexpr std::size_t kMaxRelationshipBytes = 1 << 20;
constexpr std::size_t kMaxModelBytes = std::size_t{256} << 20;
// Components may place objects inside objects this deep, no deeper (a cycle
// of components would otherwise never end).
constexpr int kMaxNesting = 32;
// Elements may nest this deep, no deeper: a model needs about eight levels,
// and the parser keeps every open element.
constexpr std::size_t kMaxXmlDepth = 64;

constexpr std::string_view kModelRelationship = "/3dmodel";
constexpr const char* kRelationshipsPart = "_rels/.rels";
constexpr const char* kDefaultModelPart = "3D/3dmodel.model";
// Expat joins a namespace and a local name with this character.
constexpr char kNamespaceSeparator = '|';

// Rows of the 4 x 3 matrix of a 3MF transform: a point p becomes
// p.x * row 0 + p.y * row 1 + p.z * row 2 + row 3.
struct Transform {
  std::array<Vec3, 4> rows{Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}, Vec3{0, 0, 0}};
  bool identity = true;

  Vec3 apply(Vec3 p) const {
    // Skipped for the identity, so that coordinates pass through unchanged
    // (an infinity times zero would otherwise give NaN).
    if (identity) return p;
    const auto& [r0, r1, r2, r3] = rows;
    return {p.x * r0.x + p.y * r1.x + p.z * r2.x + r3.x,
            p.x * r0.y + p.y * r1.y + p.z * r2.y + r3.y,
            p.x * r0.z + p.y * r1.z + p.z * r2.z + r3.z};
  }

  // This transform first, then `outer`.
  Transform then(const Transform& outer) const {
    if (identity) return outer;
    if (outer.identity) return *this;
    Transform combined;
    combined.identity = false;
    for (std::size_t i = 0; i < 3; ++i) {
      const Vec3 moved = outer.apply(rows[i]);
      const Vec3 origin = outer.rows[3];
      combined.rows[i] = {moved.x - origin.x, moved.y - origin.y, moved.z - origin.z};
    }
    combined.rows[3] = outer.apply(rows[3]);
    return combined;
  }

  bool mirrors() const {
    const auto& [a, b, c, t] = rows;
    return a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) +
               a.z * (b.x * c.y - b.y * c.x) <
           0.0f;
  }
};

// An object drawn at a transform: a component of another object or an item
// of the build.
struct PlacedObject {
  std::uint64_t object_id = 0;
  Transform transform;
};

struct Object {
  std::vector<Vec3> vertices;
  std::vector<std::array<std::uint32_t, 3>> triangles;
  std::vector<PlacedObject> components;
};

struct Model {
  std::map<std::uint64_t, Object> objects;
  std::vector<PlacedObject> build;
  std::size_t triangle_count = 0;  // as spelled out, before instancing
};

// The local part of an element or attribute name.
std::string_view local_name(const char* name) {
  const std::string_view text(name);
  const std::size_t separator = text.rfind(kNamespaceSeparator);
  return separator == std::string_view::npos ? text : text.substr(separator + 1);
}

// The value of the attribute with this local name and no namespace.
std::optional<std::string_view> attribute(const char** attributes, std::string_view name) {
  for (const char** a = attributes; *a != nullptr; a += 2) {
    if (std::string_view(*a) == name) return std::string_view(a[1]);
  }
  return std::nullopt;
}

// An XML document fed whole to expat, with the element callbacks forwarded
// to a handler whose first error stops the parse.
template <class Handler>
Status parse_xml(std::string_view document, Handler& handler, std::string_view what) {
  const std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
      XML_ParserCreateNS(nullptr, kNamespaceSeparator), &XML_ParserFree);
  if (!parser) throw std::bad_alloc();
  struct Context {
    XML_Parser parser;
    Handler& handler;
    std::optional<Error> error;
    std::size_t depth = 0;
  } context{parser.get(), handler, std::nullopt};
  XML_SetUserData(parser.get(), &context);
  XML_SetElementHandler(
      parser.get(),
      [](void* data, const char* name, const char** attributes) {
        auto& c = *static_cast<Context*>(data);
        Status status =
            ++c.depth > kMaxXmlDepth
                ? Error("elements nest deeper than " + std::to_string(kMaxXmlDepth) + " levels")
                : c.handler.start(local_name(name), attributes);
        if (!status) {
          c.error = std::move(status).error();
          XML_StopParser(c.parser, XML_FALSE);
        }
      },
      [](void* data, const char*) {
        // Expat may still report the end of an empty element whose start was refused.
        auto& c = *static_cast<Context*>(data);
        if (c.depth-- <= kMaxXmlDepth) c.handler.end();
      });

  // Expat takes an int length; larger documents go in pieces.
  constexpr std::size_t kPiece = 1 << 30;
  std::string_view rest = document;
  XML_Status status = XML_STATUS_OK;
  do {
    const std::string_view piece = rest.substr(0, kPiece);
    rest.remove_prefix(piece.size());
    status = XML_Parse(parser.get(), piece.data(), static_cast<int>(piece.size()), rest.empty());
  } while (status == XML_STATUS_OK && !rest.empty());
  if (context.error) return std::move(*context.error).with_context(std::string(what));
  if (status != XML_STATUS_OK) {
    return Error(std::string(what) +
                 " is not well-formed XML: " + XML_ErrorString(XML_GetErrorCode(parser.get())) +
                 " at line " + std::to_string(XML_GetCurrentLineNumber(parser.get())));
  }
  return Status::success();
}

// Finds the model part named by the package relationships.
struct RelationshipHandler {
  std::optional<std::string> model_part;

  Status start(std::string_view name, const char** attributes) {
    if (name != "Relationship" || model_part) return Status::success();
    const std::optional<std::string_view> type = attribute(attributes, "Type");
    const std::optional<std::string_view> target = attribute(attributes, "Target");
    if (type && target && type->ends_with(kModelRelationship)) {
      std::string_view part = *target;
      if (part.starts_with('/')) part.remove_prefix(1);
      model_part = std::string(part);
    }
    return Status::success();
  }
  void end() {}
};

Result<float> number_attribute(const char** attributes, std::string_view name) {
  const std::optional<std::string_view> text = attribute(attributes, name);
  if (!text) return Error("missing attribute " + std::string(name));
  const std::optional<float> value = parse_float_literal(*text);
  if (!value)
    return Error("invalid number '" + shown_text(*text) + "' in attribute " + std::string(name));
  return *value;
}

Result<std::uint64_t> index_attribute(const char** attributes, std::string_view name) {
  const std::optional<std::string_view> text = attribute(attributes, name);
  if (!text) return Error("missing attribute " + std::string(name));
  const std::optional<std::int64_t> value = parse_integer(*text);
  if (!value || *value < 0) {
    return Error("invalid index '" + shown_text(*text) + "' in attribute " + std::string(name));
  }
  return static_cast<std::uint64_t>(*value);
}

Result<Transform> transform_attribute(const char** attributes) {
  Transform transform;
  const std::optional<std::string_view> text = attribute(attributes, "transform");
  if (!text) return transform;
  AsciiWords words(*text);
  std::array<float, 12> m{};
  for (float& value : m) {
    const std::optional<std::string_view> word = words.next();
    const std::optional<float> number = word ? parse_float_literal(*word) : std::nullopt;
    if (!number) return Error("transform is not twelve numbers");
    value = *number;
  }
  if (words.next()) return Error("transform is not twelve numbers");
  transform.rows = {Vec3{m[0], m[1], m[2]}, Vec3{m[3], m[4], m[5]}, Vec3{m[6], m[7], m[8]},
                    Vec3{m[9], m[10], m[11]}};
  transform.identity = false;
  return transform;
}

Result<PlacedObject> placement(const char** attributes) {
  Result<std::uint64_t> id = index_attribute(attributes, "objectid");
  if (!id) return std::move(id).error();
  for (const char** a = attributes; *a != nullptr; a += 2) {
    // The production extension's path points into another model part.
    if (local_name(*a) == "path" && std::string_view(*a) != "path") {
      return Error("objects in other model parts are not supported");
    }
  }
  Result<Transform> transform = transform_attribute(attributes);
  if (!transform) return std::move(transform).error();
  return PlacedObject{*id, *transform};
}

// The elements whose children the model handler looks at.
enum class Tag { other, resources, object, vertices, triangles, components, build };

Tag classify(std::string_view name) {
  if (name == "resources") return Tag::resources;
  if (name == "object") return Tag::object;
  if (name == "vertices") return Tag::vertices;
  if (name == "triangles") return Tag::triangles;
  if (name == "components") return Tag::components;
  if (name == "build") return Tag::build;
  return Tag::other;
}

// Collects objects and build items; elements are taken only where they belong.
class ModelHandler {
 public:
  ModelHandler(Model& model, std::uint64_t max_triangles)
      : model_(model), max_triangles_(max_triangles) {}

  Status start(std::string_view name, const char** attributes) {
    const Tag parent = open_.empty() ? Tag::other : open_.back();
    const Tag tag = classify(name);
    open_.push_back(tag);
    if (parent == Tag::resources && tag == Tag::object) return start_object(attributes);
    if (object_ == nullptr) {
      if (parent == Tag::build && name == "item") return add_placement(attributes, model_.build);
      return Status::success();
    }
    if (parent == Tag::vertices && name == "vertex") return add_vertex(attributes);
    if (parent == Tag::triangles && name == "triangle") return add_triangle(attributes);
    if (parent == Tag::components && name == "component") {
      return add_placement(attributes, object_->components);
    }
    return Status::success();
  }

  void end() {
    if (open_.back() == Tag::object) object_ = nullptr;
    open_.pop_back();
  }

 private:
  Status start_object(const char** attributes) {
    Result<std::uint64_t> id = index_attribute(attributes, "id");
    if (!id) return std::move(id).error().with_context("object");
    const auto [entry, added] = model_.objects.try_emplace(*id);
    if (!added) return Error("object id " + std::to_string(*id) + " appears twice");
    object_ = &entry->second;
    return Status::success();
  }

  Status add_vertex(const char** attributes) {
    Vec3 point;
    for (const auto& [name, value] : {std::pair{"x", &point.x}, {"y", &point.y}, {"z", &point.z}}) {
      Result<float> number = number_attribute(attributes, name);
      if (!number) return std::move(number).error().with_context("vertex");
      *value = *number;
    }
    object_->vertices.push_back(point);
    return Status::success();
  }

  Status add_triangle(const char** attributes) {
    std::array<std::uint32_t, 3> corners{};
    const char* const names[] = {"v1", "v2", "v3"};
    for (std::size_t i = 0; i < 3; ++i) {
      Result<std::uint64_t> index = index_attribute(attributes, names[i]);
      if (!index) return std::move(index).error().with_context("triangle");
      if (*index >= object_->vertices.size()) {
        return Error("triangle refers to vertex " + std::to_string(*index) + " of " +
                     std::to_string(object_->vertices.size()));
      }
      corners[i] = static_cast<std::uint32_t>(*index);
    }
    if (model_.triangle_count >= max_triangles_) return too_many_triangles(max_triangles_);
    object_->triangles.push_back(corners);
    ++model_.triangle_count;
    return Status::success();
  }

  static Status add_placement(const char** attributes, std::vector<PlacedObject>& placements) {
    Result<PlacedObject> placed = placement(attributes);
    if (!placed) return std::move(placed).error().with_context("placement of an object");
    placements.push_back(*placed);
    return Status::success();
  }

  Model& model_;
  std::uint64_t max_triangles_;
  std::vector<Tag> open_;     // the elements open around the current one
  Object* object_ = nullptr;  // the object being read
};

// Appends the triangles of placed objects, components included.
class BuildExpander {
 public:
  BuildExpander(const Model& model, std::vector<Triangle>& triangles, std::uint64_t max_triangles)
      : model_(model), triangles_(triangles), limit_(max_triangles) {}

  Status place(const PlacedObject& placement, int depth) {
    if (depth > kMaxNesting) {
      return Error("components nest deeper than " + std::to_string(kMaxNesting) + " levels");
    }
    const auto found = model_.objects.find(placement.object_id);
    if (found == model_.objects.end()) {
      return Error("no object with id " + std::to_string(placement.object_id));
    }
    const Object& object = found->second;
    if (object.triangles.size() > limit_ - triangles_.size()) return too_many_triangles(limit_);
    if (++placements_ > limit_) {
      return Error("the build places more than " + std::to_string(limit_) + " objects");
    }
    const Transform& transform = placement.transform;
    const bool mirrored = transform.mirrors();
    for (const auto& [a, b, c] : object.triangles) {
      const Vec3 pa = transform.apply(object.vertices[a]);
      const Vec3 pb = transform.apply(object.vertices[b]);
      const Vec3 pc = transform.apply(object.vertices[c]);
      triangles_.push_back(mirrored ? make_triangle(Vec3{}, pa, pc, pb)
                                    : make_triangle(Vec3{}, pa, pb, pc));
    }
    for (const PlacedObject& component : object.components) {
      Status placed = place({component.object_id, component.transform.then(transform)}, depth + 1);
      if (!placed) return placed;
    }
    return Status::success();
  }

 private:
  const Model& model_;
  std::vector<Triangle>& triangles_;
  std::uint64_t limit_;  // on triangles and, apart, on placements
  std::size_t placements_ = 0;
};

Result<std::string> model_part_name(const ZipArchive& archive) {
  if (!archive.contains(kRelationshipsPart)) return std::string(kDefaultModelPart);
  Result<std::string> relationships = archive.read(kRelationshipsPart, kMaxRelationshipBytes);
  if (!relationships) return std::move(relationships).error();
  RelationshipHandler handler;
  Status parsed = parse_xml(*relationships, handler, "package relationships");
  if (!parsed) return std::move(parsed).error();
  return handler.model_part.value_or(kDefaultModelPart);
}

Result<Mesh> decode_archive(std::string_view content, std::string name,
                            std::uint64_t max_triangles) {
  Result<ZipArchive> archive = ZipArchive::open(content);
  if (!archive) return std::move(archive).error();
  Result<std::string> part = model_part_name(*archive);
  if (!part) return std::move(part).error();
  if (!archive->contains(*part)) return Error("zip archive holds no 3MF model part " + *part);
  Result<std::string> document = archive->read(*part, kMaxModelBytes);
  if (!document) return std::move(document).error();

  Model model;
  ModelHandler handler(model, max_triangles);
  Status parsed = parse_xml(*document, handler, "model part " + *part);
  if (!parsed) return std::move(parsed).error();

  Mesh mesh;
  mesh.name = std::move(name);
  BuildExpander expander(model, mesh.triangles, max_triangles);
  if (model.build.empty()) {
    // Objects that are components of others appear through them.
    std::set<std::uint64_t> components;
    for (const auto& [id, object] : model.objects) {
      for (const PlacedObject& component : object.components)
        components.insert(component.object_id);
    }
    for (const auto& [id, object] : model.objects) {
      if (components.contains(id)) continue;
      Status placed = expander.place({id, Transform{}}, 0);
      if (!placed) return std::move(placed).error();
    }
  }
  for (const PlacedObject& item : model.build) {
    Status placed = expander.place(item, 0);
    if (!placed) return std::move(placed).error();
  }
  if (mesh.triangles.empty()) return Error("3MF model contained no triangles");
  return mesh;
}

}  // namespace

Result<Mesh> decode_3mf(std::string_view content, std::string name, std::uint64_t max_triangles) {
  Result<Mesh> mesh = decode_archive(content, std::move(name), max_triangles);
  if (!mesh) return std::move(mesh).error().with_context("3MF package");
  return mesh;
}

}  // namespace facetview
