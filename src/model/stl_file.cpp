#include "model/stl_file.hpp"

#include "common/file_reader.hpp"
#include "common/utf8_validation.hpp"
#include "common/whole_file.hpp"
#include "model/default_name.hpp"
#include "model/stl_decoder.hpp"
#include "model/stl_stream.hpp"

namespace facetview {

Result<Mesh> read_stl_file(const std::filesystem::path& path, Interruption& interruption,
                           std::uint64_t max_stream_bytes, std::optional<Bounds>& bounds) {
  const std::string read_context = "failed to read STL file " + to_utf8_lossy(path.native());
  Result<FileReader> file = FileReader::open(path, interruption);
  if (!file) return std::move(file).error().with_context(read_context);

  Result<Mesh> mesh = Error("");
  if (const std::optional<std::uint64_t> size = file->reported_size()) {
    bounds.emplace();
    mesh = decode_stl_stream(*file, *size, default_mesh_name(path), interruption, read_context,
                             *bounds);
  } else {
    // Pipes, devices and files without a reported size are only binary when
    // their whole length says so: they are read whole first.
    Result<std::string> content = read_to_end(*file, interruption, max_stream_bytes);
    if (!content) return std::move(content).error().with_context(read_context);
    mesh = decode_stl(*content, default_mesh_name(path));
  }
  if (mesh) {
    mesh->source_path = path;
    mesh->size = extents(bounds ? *bounds : bounds_of(mesh->triangles));
  }
  return mesh;
}

}  // namespace facetview
