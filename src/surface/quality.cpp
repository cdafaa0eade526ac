#include "surface/quality.hpp"

#include <array>

namespace facetview {

namespace {

// Indexed by the ordinal.
constexpr std::array<std::string_view, 4> kCanonicalNames = {"low", "medium", "high", "full"};

constexpr std::array<QualityName, 5> kAcceptedNames = {{
    {"low", Quality::low},
    {"med", Quality::medium},
    {"medium", Quality::medium},
    {"high", Quality::high},
    {"full", Quality::full},
}};

}  // namespace

std::string_view quality_name(Quality quality) {
  return kCanonicalNames.at(static_cast<std::size_t>(quality));
}

std::span<const QualityName> accepted_quality_names() {
  return kAcceptedNames;
}

std::optional<Quality> parse_quality(std::string_view text) {
  for (const QualityName& name : kAcceptedNames) {
    if (name.text == text) return name.quality;
  }
  return std::nullopt;
}

}  // namespace facetview
