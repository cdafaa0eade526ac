#include "model/default_name.hpp"

#include "common/utf8_validation.hpp"

namespace facetview {

std::string default_mesh_name(const std::filesystem::path& path) {
  const std::string file_name = path.filename().native();
  if (file_name.empty() || file_name == "." || file_name == "..") return "model";
  const std::size_t dot = file_name.rfind('.');
  const std::string stem =
      dot == std::string::npos || dot == 0 ? file_name : file_name.substr(0, dot);
  if (find_utf8_fault(stem)) return "model";
  return stem;
}

}  // namespace facetview
