#include "model/ply_decoder.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "common/shown_text.hpp"
#include "common/text_words.hpp"
#include "model/content_kind.hpp"
#include "model/float_literal.hpp"
#include "model/load_limits.hpp"
#include "model/polygon_fan.hpp"

namespace facetview {
namespace {

enum class Encoding { ascii, little_endian, big_endian };

enum class Scalar { i8, u8, i16, u16, i32, u32, f32, f64 };

struct ScalarName {
  std::string_view name;
  Scalar type;
};

// Both the original names and the sized ones that later writers use.
constexpr std::array<ScalarName, 16> kScalarNames = {{
    {"char", Scalar::i8},
    {"int8", Scalar::i8},
    {"uchar", Scalar::u8},
    {"uint8", Scalar::u8},
    {"short", Scalar::i16},
    {"int16", Scalar::i16},
    {"ushort", Scalar::u16},
    {"uint16", Scalar::u16},
    {"int", Scalar::i32},
    {"int32", Scalar::i32},
    {"uint", Scalar::u32},
    {"uint32", Scalar::u32},
    {"float", Scalar::f32},
    {"float32", Scalar::f32},
    {"double", Scalar::f64},
    {"float64", Scalar::f64},
}};

std::size_t scalar_size(Scalar type) {
  switch (type) {
    case Scalar::i8:
    case Scalar::u8:
      return 1;
    case Scalar::i16:
    case Scalar::u16:
      return 2;
    case Scalar::i32:
    case Scalar::u32:
    case Scalar::f32:
      return 4;
    case Scalar::f64:
      return 8;
  }
  return 8;
}

bool is_integer(Scalar type) {
  return type != Scalar::f32 && type != Scalar::f64;
}

std::optional<Scalar> parse_scalar(std::string_view word) {
  for (const ScalarName& entry : kScalarNames) {
    if (entry.name == word) return entry.type;
  }
  return std::nullopt;
}

struct Property {
  std::string name;
  Scalar type;                       // of the value, or of each list item
  std::optional<Scalar> list_count;  // the type of the count before a list's items
};

struct Element {
  std::string name;
  std::uint64_t count = 0;
  std::vector<Property> properties;
};

struct Header {
  Encoding encoding = Encoding::ascii;
  std::vector<Element> elements;
  std::string_view data;  // everything after the end_header line
};

// A number of the data section: integers exactly, the rest as a double.
struct Value {
  std::int64_t integer = 0;
  double real = 0.0;
};

Result<Property> parse_property(AsciiWords& words) {
  const std::optional<std::string_view> first = words.next();
  if (!first) return Error("property without a type");
  Property property;
  if (*first == "list") {
    const std::optional<std::string_view> count_type = words.next();
    const std::optional<std::string_view> item_type = words.next();
    const std::optional<Scalar> count = count_type ? parse_scalar(*count_type) : std::nullopt;
    const std::optional<Scalar> item = item_type ? parse_scalar(*item_type) : std::nullopt;
    if (!count || !item) return Error("list property without two known types");
    if (!is_integer(*count)) return Error("list count type is not an integer type");
    property.list_count = count;
    property.type = *item;
  } else {
    const std::optional<Scalar> type = parse_scalar(*first);
    if (!type) return Error("unknown property type '" + shown_text(*first) + "'");
    property.type = *type;
  }
  const std::optional<std::string_view> name = words.next();
  if (!name) return Error("property without a name");
  property.name = *name;
  return property;
}

Result<Header> parse_header(std::string_view content) {
  LineSplitter lines(content);
  Header header;
  bool have_format = false;
  while (const std::optional<std::string_view> line = lines.next()) {
    const auto fail = [&](std::string message) {
      return Error(std::move(message))
          .with_context("PLY header line " + std::to_string(lines.line_number()));
    };
    AsciiWords words(*line);
    const std::optional<std::string_view> keyword = words.next();
    if (lines.line_number() == 1) {
      if (keyword != "ply") return fail("not a PLY file");
    } else if (keyword == "format") {
      const std::optional<std::string_view> encoding = words.next();
      if (encoding == "ascii") {
        header.encoding = Encoding::ascii;
      } else if (encoding == "binary_little_endian") {
        header.encoding = Encoding::little_endian;
      } else if (encoding == "binary_big_endian") {
        header.encoding = Encoding::big_endian;
      } else {
        return fail("unknown format");
      }
      have_format = true;
    } else if (keyword == "element") {
      const std::optional<std::string_view> name = words.next();
      const std::optional<std::string_view> count_word = words.next();
      if (!name || !count_word) return fail("element without a name and a count");
      const std::optional<std::int64_t> count = parse_integer(*count_word);
      if (!count || *count < 0) {
        return fail("element '" + shown_text(*name) + "' has the count '" +
                    shown_text(*count_word) + "', not a whole number from 0 to " +
                    std::to_string(INT64_MAX));
      }
      header.elements.push_back(
          Element{std::string(*name), static_cast<std::uint64_t>(*count), {}});
    } else if (keyword == "property") {
      if (header.elements.empty()) return fail("property before any element");
      Result<Property> property = parse_property(words);
      if (!property) return fail(property.error().message());
      header.elements.back().properties.push_back(std::move(*property));
    } else if (keyword == "end_header") {
      if (!have_format) return fail("end of header without a format line");
      header.data = lines.rest();
      return header;
    }
    // comment, obj_info and blank lines say nothing about the data.
  }
  return Error("PLY header has no end_header line");
}

// The values of the data section in order, from ASCII words or binary bytes.
class ValueReader {
 public:
  ValueReader(Encoding encoding, std::string_view data)
      : encoding_(encoding), data_(data), words_(data) {}

  Result<Value> read(Scalar type) {
    if (encoding_ == Encoding::ascii) return read_word(type);
    const std::size_t size = scalar_size(type);
    if (data_.size() < size) return Error("data ends inside an element");
    std::uint8_t bytes[8];
    std::memcpy(bytes, data_.data(), size);
    data_.remove_prefix(size);
    if ((encoding_ == Encoding::big_endian) != (std::endian::native == std::endian::big)) {
      std::reverse(bytes, bytes + size);
    }
    return decode(type, bytes);
  }

  // The fewest bytes one entry of the element can take: its scalars and list
  // counts in binary, one byte a value in ASCII. At least 1 for an element
  // with properties.
  std::size_t min_entry_size(const Element& element) const {
    std::size_t size = 0;
    for (const Property& property : element.properties) {
      size += min_value_size(property.list_count.value_or(property.type));
    }
    return std::max<std::size_t>(size, 1);
  }

  // The fewest bytes a value of this type can take.
  std::size_t min_value_size(Scalar type) const {
    return encoding_ == Encoding::ascii ? 1 : scalar_size(type);
  }

  // Bytes of the data section not read yet.
  std::size_t bytes_left() const {
    return encoding_ == Encoding::ascii ? words_.rest().size() : data_.size();
  }

 private:
  Result<Value> read_word(Scalar type) {
    const std::optional<std::string_view> word = words_.next();
    if (!word) return Error("data ends inside an element");
    Value value;
    if (is_integer(type)) {
      const std::optional<std::int64_t> integer = parse_integer(*word);
      if (!integer) return Error("invalid integer '" + shown_text(*word) + "'");
      value.integer = *integer;
      value.real = static_cast<double>(*integer);
    } else {
      const std::optional<float> real = parse_float_literal(*word);
      if (!real) return Error("invalid number '" + shown_text(*word) + "'");
      value.real = *real;
    }
    return value;
  }

  template <class T>
  static T load(const std::uint8_t* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  }

  static Value decode(Scalar type, const std::uint8_t* bytes) {
    Value value;
    switch (type) {
      case Scalar::i8:
        value.integer = load<std::int8_t>(bytes);
        break;
      case Scalar::u8:
        value.integer = load<std::uint8_t>(bytes);
        break;
      case Scalar::i16:
        value.integer = load<std::int16_t>(bytes);
        break;
      case Scalar::u16:
        value.integer = load<std::uint16_t>(bytes);
        break;
      case Scalar::i32:
        value.integer = load<std::int32_t>(bytes);
        break;
      case Scalar::u32:
        value.integer = load<std::uint32_t>(bytes);
        break;
      case Scalar::f32:
        value.real = load<float>(bytes);
        return value;
      case Scalar::f64:
        value.real = load<double>(bytes);
        return value;
    }
    value.real = static_cast<double>(value.integer);
    return value;
  }

  Encoding encoding_;
  std::string_view data_;
  AsciiWords words_;
};

// Where the vertex element keeps its coordinates and the face element its corners.
struct Roles {
  std::optional<std::size_t> x, y, z;
  std::optional<std::size_t> corners;
};

Roles find_roles(const Element& element) {
  Roles roles;
  for (std::size_t i = 0; i < element.properties.size(); ++i) {
    const Property& property = element.properties[i];
    const bool list = property.list_count.has_value();
    if (!list && property.name == "x") roles.x = i;
    if (!list && property.name == "y") roles.y = i;
    if (!list && property.name == "z") roles.z = i;
    if (list && (property.name == "vertex_indices" || property.name == "vertex_index")) {
      roles.corners = i;
    }
  }
  return roles;
}

// A double beyond the float range becomes an infinity, as in the text formats.
float to_float(double value) {
  if (std::isnan(value)) return static_cast<float>(value);
  if (value > std::numeric_limits<float>::max()) return std::numeric_limits<float>::infinity();
  if (value < -std::numeric_limits<float>::max()) return -std::numeric_limits<float>::infinity();
  return static_cast<float>(value);
}

class PlyReader {
 public:
  PlyReader(const Header& header, std::uint64_t max_triangles)
      : values_(header.encoding, header.data), max_triangles_(max_triangles) {}

  Status read_element(const Element& element) {
    if (element.count > 0 && element.properties.empty()) {
      return Error("entries without properties");
    }
    // A count beyond what the bytes left can hold is a lie.
    if (element.count > values_.bytes_left() / values_.min_entry_size(element)) {
      return Error("claims " + std::to_string(element.count) +
                   " entries, more than the data holds");
    }
    const Roles roles = find_roles(element);
    const bool is_vertex = element.name == "vertex";
    const bool is_face = element.name == "face";
    if (is_vertex && (!roles.x || !roles.y || !roles.z)) {
      return Error("vertex element without x, y and z properties");
    }
    if (is_face && !roles.corners) return Error("face element without a vertex_indices list");
    if (is_face && !is_integer(element.properties[*roles.corners].type)) {
      return Error("face vertex indices are not integers");
    }
    if (is_vertex) vertices_.reserve(vertices_.size() + element.count);

    for (std::uint64_t entry = 0; entry < element.count; ++entry) {
      Vec3 point;
      corners_.clear();
      for (std::size_t i = 0; i < element.properties.size(); ++i) {
        const Property& property = element.properties[i];
        if (property.list_count) {
          Status read = read_list(property, is_face && roles.corners == i);
          if (!read) return read;
          continue;
        }
        Result<Value> value = values_.read(property.type);
        if (!value) return std::move(value).error();
        if (roles.x == i) point.x = to_float(value->real);
        if (roles.y == i) point.y = to_float(value->real);
        if (roles.z == i) point.z = to_float(value->real);
      }
      if (is_vertex) vertices_.push_back(point);
      if (is_face && corners_.size() < 3) {
        ++skipped_faces_;  // a point or a line has no surface to draw
      } else if (is_face) {
        Status added = append_polygon_fan(triangles_, vertices_, corners_);
        if (!added) return std::move(added).error().with_context("face " + std::to_string(entry));
      }
    }
    return Status::success();
  }

  Result<Mesh> finish(std::string name) && {
    return mesh_of_faces(std::move(triangles_), std::move(name), "PLY", skipped_faces_);
  }

 private:
  Status read_list(const Property& property, bool keep) {
    Result<Value> count = values_.read(*property.list_count);
    if (!count) return std::move(count).error();
    if (count->integer < 0) return Error("negative list length");
    if (static_cast<std::uint64_t>(count->integer) >
        values_.bytes_left() / values_.min_value_size(property.type)) {
      return Error("list of " + std::to_string(count->integer) +
                   " items, more than the data holds");
    }
    for (std::int64_t item = 0; item < count->integer; ++item) {
      Result<Value> value = values_.read(property.type);
      if (!value) return std::move(value).error();
      if (!keep) continue;
      if (value->integer < 0) return Error("negative vertex index");
      // A fan of n corners makes n - 2 triangles.
      if (!corners_.empty() && corners_.size() - 1 > max_triangles_ - triangles_.size()) {
        return too_many_triangles(max_triangles_);
      }
      corners_.push_back(static_cast<std::uint64_t>(value->integer));
    }
    return Status::success();
  }

  ValueReader values_;
  std::uint64_t max_triangles_;
  std::uint64_t skipped_faces_ = 0;
  std::vector<Vec3> vertices_;
  std::vector<Triangle> triangles_;
  std::vector<std::uint64_t> corners_;  // of the face being read, reused
};

}  // namespace

Result<Mesh> decode_ply(std::string_view content, std::string name, std::uint64_t max_triangles) {
  Result<Header> header = parse_header(without_byte_order_mark(content));
  if (!header) return std::move(header).error();
  PlyReader reader(*header, max_triangles);
  for (const Element& element : header->elements) {
    if (Status read = reader.read_element(element); !read) {
      return std::move(read).error().with_context("PLY element '" + shown_text(element.name) + "'");
    }
  }
  return std::move(reader).finish(std::move(name));
}

}  // namespace facetview
