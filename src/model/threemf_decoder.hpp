// 3MF: a zip archive whose model part, an XML document, holds mesh objects,
// components that place objects inside others, and the build that places
// objects in the scene.
#pragma once

#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The triangles of every build item, with the transforms of items and
// components applied (a mirroring transform keeps the triangles wound
// outwards); without a build, those of every object. Unpacked sizes, component
// nesting and the triangles that instancing adds are capped. The mesh is
// named `name`.
Result<Mesh> decode_3mf(std::string_view content, std::string name);

}  // namespace facetview
