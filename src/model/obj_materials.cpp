#include "model/obj_materials.hpp"

#include "common/text_words.hpp"
#include "model/float_literal.hpp"

namespace facetview {
namespace {

std::uint8_t unit_to_byte(float value) {
  if (!(value > 0.0f)) return 0;  // NaN included
  if (value >= 1.0f) return 255;
  return static_cast<std::uint8_t>(value * 255.0f);
}

}  // namespace

std::string_view material_name(std::string_view rest_of_line) {
  constexpr std::string_view kBlanks = " \t\r\n\f\v";
  const std::size_t first = rest_of_line.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return rest_of_line.substr(first, rest_of_line.find_last_not_of(kBlanks) - first + 1);
}

std::map<std::string, FaceColour, std::less<>> parse_material_library(std::string_view content) {
  std::map<std::string, FaceColour, std::less<>> colours;
  std::optional<std::string> material;
  LineSplitter lines(content);
  while (const std::optional<std::string_view> line = lines.next()) {
    AsciiWords words(line->substr(0, line->find('#')));
    const std::optional<std::string_view> keyword = words.next();
    if (keyword == "newmtl") {
      material = std::string(material_name(words.rest()));
    } else if (keyword == "Kd" && material) {
      FaceColour colour{};
      bool parsed = true;
      for (std::uint8_t& channel : colour) {
        const std::optional<std::string_view> word = words.next();
        const std::optional<float> value = word ? parse_float_literal(*word) : std::nullopt;
        parsed = parsed && value.has_value();
        if (value) channel = unit_to_byte(*value);
      }
      if (parsed) colours.insert_or_assign(*material, colour);
    }
  }
  return colours;
}

}  // namespace facetview
