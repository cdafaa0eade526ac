#include "stl/default_name.hpp"
#include "stl/mesh.hpp"
#include "stl/stl_decoder.hpp"
#include "stl/utf8.hpp"
#include "stl/whole_file.hpp"

namespace facetview {

Result<Mesh> Mesh::from_path(const std::filesystem::path& path, Interruption& interruption) {
  // The content lives only inside this call, whatever its outcome.
  Result<std::string> content = read_whole_file(path, interruption);
  if (!content) {
    return std::move(content).error().with_context("failed to read STL file " +
                                                   to_utf8_lossy(path.native()));
  }
  Result<Mesh> mesh = decode_stl(*content, default_mesh_name(path));
  if (mesh) mesh->source_path = path;
  return mesh;
}

}  // namespace facetview
