// Feeds arbitrary bytes to the STL decoder, as if they were a file's content.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "common/utf8_validation.hpp"
#include "model/stl_decoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);

  const facetview::Result<facetview::Mesh> mesh = facetview::decode_stl(content, "fuzz");
  // A decoded mesh is never empty and never has a name that is not UTF-8.
  if (mesh.ok() && (mesh->triangles.empty() || facetview::find_utf8_fault(mesh->name))) {
    __builtin_trap();
  }

  // Error messages show paths through the lossy conversion; its output must be UTF-8.
  if (facetview::find_utf8_fault(facetview::to_utf8_lossy(content))) __builtin_trap();
  return 0;
}
