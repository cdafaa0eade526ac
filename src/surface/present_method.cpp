#include "surface/present_method.hpp"

#include <array>

namespace facetview {

namespace {

// Indexed by the enumerator's value.
constexpr std::array<std::string_view, 3> kMethodNames = {"kitty", "sixel", "blocks"};

}  // namespace

std::string_view present_method_name(PresentMethod method) {
  return kMethodNames.at(static_cast<std::size_t>(method));
}

std::optional<PresentMethod> parse_present_method(std::string_view text) {
  for (std::size_t index = 0; index < kMethodNames.size(); ++index) {
    if (kMethodNames[index] == text) return static_cast<PresentMethod>(index);
  }
  return std::nullopt;
}

}  // namespace facetview
