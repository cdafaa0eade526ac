// The name a mesh gets when its file names none.
#pragma once

#include <filesystem>
#include <string>

namespace facetview {

// The stem of the path's last component (the part before its last "."; a name
// without "." or with only a leading one is taken whole), or "model" when
// there is no such component or the stem is not valid UTF-8.
std::string default_mesh_name(const std::filesystem::path& path);

}  // namespace facetview
