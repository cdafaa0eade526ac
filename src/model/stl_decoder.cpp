#include "model/stl_decoder.hpp"

#include "model/ascii_stl.hpp"
#include "model/binary_stl.hpp"

namespace facetview {

Result<Mesh> decode_stl(std::string_view content, std::string default_name) {
  if (is_binary_stl(content)) return decode_binary_stl(content, std::move(default_name));
  Result<Mesh> mesh = decode_ascii_stl(content, std::move(default_name));
  if (!mesh) return explain_not_binary(std::move(mesh).error(), content.size(), content);
  return mesh;
}

}  // namespace facetview
