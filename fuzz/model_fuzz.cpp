// Feeds arbitrary bytes to the model dispatcher as the content of a file
// named FUZZ_MODEL_PATH, so that the extension steers content without a
// signature to one format's decoder; built once per format.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/model_decoder.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  const facetview::Result<facetview::Mesh> mesh = facetview::decode_model(content, FUZZ_MODEL_PATH);
  // A decoded mesh is never empty, and every failure says why.
  if (mesh.ok() && mesh->triangles.empty()) __builtin_trap();
  if (!mesh.ok() && mesh.error().message().empty()) __builtin_trap();
  return 0;
}
