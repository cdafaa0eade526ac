#include "stl/default_name.hpp"
#include "stl/mesh.hpp"
#include "stl/mesh_file.hpp"
#include "stl/stl_decoder.hpp"

namespace facetview {

Result<Mesh> Mesh::from_path(const std::filesystem::path& path, Interruption& interruption) {
  return read_mesh_file(
      path, interruption, "failed to read STL file ",
      [&](std::string_view content) { return decode_stl(content, default_mesh_name(path)); });
}

}  // namespace facetview
