// 3MF: a zip archive whose model part, an XML document, holds mesh objects,
// components that place objects inside others, and the build that places
// objects in the scene.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/load_limits.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The triangles of every build item, with the transforms of items and
// components applied (a mirroring transform keeps the triangles wound
// outwards); without a build, those of every object. Unpacked sizes, XML and
// component nesting are capped, and so are triangles, written out and after
// instancing, at `max_triangles`. The mesh is named `name`.
Result<Mesh> decode_3mf(std::string_view content, std::string name,
                        std::uint64_t max_triangles = kMaxTriangles);

}  // namespace facetview
