// ASCII STL: UTF-8 text whose "solid", "facet normal" and "vertex" lines make
// the mesh; every other line is ignored.
#pragma once

#include <string>
#include <string_view>

#include "common/error.hpp"
#include "stl/mesh.hpp"

namespace facetview {

// The mesh of an ASCII file, named by the words after "solid" on its first
// line, else `default_name`.
Result<Mesh> decode_ascii_stl(std::string_view content, std::string default_name);

}  // namespace facetview
