#include "common/file_reader.hpp"
#include "common/utf8_validation.hpp"
#include "common/whole_file.hpp"
#include "model/default_name.hpp"
#include "model/mesh.hpp"
#include "model/normalization.hpp"
#include "model/stl_decoder.hpp"
#include "model/stl_stream.hpp"

namespace facetview {

namespace {

// The mesh of the file, and its box when it was found while decoding.
Result<Mesh> read_stl(const std::filesystem::path& path, Interruption& interruption,
                      std::optional<Bounds>& bounds) {
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
    Result<std::string> content = read_to_end(*file, interruption);
    if (!content) return std::move(content).error().with_context(read_context);
    mesh = decode_stl(*content, default_mesh_name(path));
  }
  if (mesh) {
    mesh->source_path = path;
    mesh->size = extents(bounds ? *bounds : bounds_of(mesh->triangles));
  }
  return mesh;
}

}  // namespace

Result<Mesh> Mesh::from_path(const std::filesystem::path& path, Interruption& interruption) {
  std::optional<Bounds> unused;
  return read_stl(path, interruption, unused);
}

Result<Mesh> Mesh::normalized_from_path(const std::filesystem::path& path,
                                        Interruption& interruption) {
  std::optional<Bounds> bounds;
  Result<Mesh> mesh = read_stl(path, interruption, bounds);
  if (!mesh) return mesh;
  if (!bounds) return std::move(*mesh).normalized();
  return normalized_within(std::move(*mesh), *bounds);
}

}  // namespace facetview
