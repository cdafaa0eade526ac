// Wavefront material libraries (.mtl): the diffuse colour of each material.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "model/mesh.hpp"

namespace facetview {

// The content of the material library an OBJ file names in "mtllib", or
// nothing where it cannot be had; the model then keeps its plain shading.
using MaterialLibraryReader = std::function<std::optional<std::string>(std::string_view name)>;

// A material's name as "newmtl" and "usemtl" give it: the rest of the line
// without the blanks around it (names may hold spaces).
std::string_view material_name(std::string_view rest_of_line);

// Material name to the colour of its "Kd r g b" line (channels 0 to 1,
// clamped). Materials without Kd and lines that do not parse are left out: a
// damaged library costs colours, never the model.
std::map<std::string, FaceColour, std::less<>> parse_material_library(std::string_view content);

}  // namespace facetview
