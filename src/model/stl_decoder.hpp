// Decoding the content of an STL file that is already in memory.
#pragma once

#include <string>
#include <string_view>

#include "common/error.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The mesh of a whole STL file, binary or ASCII as its length decides; the
// result has no source path. `default_name` names it when the file does not.
Result<Mesh> decode_stl(std::string_view content, std::string default_name);

}  // namespace facetview
