// The steps shared by the loaders of model files: a whole-file read, a
// decoder, and the path and size that every loaded mesh carries.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "common/interruption.hpp"
#include "stl/bounding_box.hpp"
#include "stl/mesh.hpp"
#include "stl/utf8.hpp"
#include "stl/whole_file.hpp"

namespace facetview {

// Reads the file at `path` whole and hands its content to `decode` (a call
// Result<Mesh>(std::string_view)). A failed read gets the context
// `read_failure` followed by the path.
template <class Decode>
Result<Mesh> read_mesh_file(const std::filesystem::path& path, Interruption& interruption,
                            std::string_view read_failure, Decode&& decode) {
  // The content lives only inside this call, whatever its outcome.
  Result<std::string> content = read_whole_file(path, interruption);
  if (!content) {
    return std::move(content).error().with_context(std::string(read_failure) +
                                                   to_utf8_lossy(path.native()));
  }
  Result<Mesh> mesh = decode(std::string_view(*content));
  if (mesh) {
    mesh->source_path = path;
    mesh->size = extents(mesh->triangles);
  }
  return mesh;
}

}  // namespace facetview
