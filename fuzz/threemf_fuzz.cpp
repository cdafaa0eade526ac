// Feeds arbitrary bytes to the 3MF decoder. Input that begins like a zip
// archive goes in as it is; any other input becomes the model part of a
// stored archive made here, so that mutations reach the XML rather than
// failing the archive's checksums.
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/threemf_decoder.hpp"

namespace {

// An archive with `model` stored as 3D/3dmodel.model, built in memory.
std::string archive_of(std::string_view model) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* buffer = zip_source_buffer_create(nullptr, 0, 0, &error);
  zip_source_keep(buffer);
  zip_t* archive = zip_open_from_source(buffer, ZIP_TRUNCATE, &error);
  zip_source_t* entry = zip_source_buffer(archive, model.data(), model.size(), 0);
  const zip_int64_t index = zip_file_add(archive, "3D/3dmodel.model", entry, 0);
  zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
  zip_close(archive);
  std::string bytes;
  zip_source_open(buffer);
  char piece[4096];
  zip_int64_t got = 0;
  while ((got = zip_source_read(buffer, piece, sizeof piece)) > 0) {
    bytes.append(piece, static_cast<std::size_t>(got));
  }
  zip_source_close(buffer);
  zip_source_free(buffer);
  zip_error_fini(&error);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::string content = input.starts_with("PK") ? std::string(input) : archive_of(input);
  const facetview::Result<facetview::Mesh> mesh = facetview::decode_3mf(content, "fuzz");
  if (mesh.ok() && mesh->triangles.empty()) __builtin_trap();
  return 0;
}
