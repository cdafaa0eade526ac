#include "model/model_decoder.hpp"

#include <algorithm>
#include <cctype>

#include "common/utf8_validation.hpp"
#include "common/whole_file.hpp"
#include "model/binary_stl.hpp"
#include "model/bounds.hpp"
#include "model/default_name.hpp"
#include "model/obj_decoder.hpp"
#include "model/ply_decoder.hpp"
#include "model/stl_decoder.hpp"
#include "model/threemf_decoder.hpp"

namespace facetview {
namespace {

constexpr std::string_view kZipSignature("PK\x03\x04", 4);
// How much of the content an "unsupported" message shows.
constexpr std::size_t kShownBytes = 24;

bool starts_with_word(std::string_view content, std::string_view word) {
  if (!content.starts_with(word)) return false;
  return content.size() == word.size() ||
         std::isspace(static_cast<unsigned char>(content[word.size()]));
}

// What the content looks like, for a message: its first bytes when they are
// printable text, else only that it is binary.
std::string describe_content(std::string_view content) {
  if (content.empty()) return "an empty file";
  const std::string_view start = content.substr(0, kShownBytes);
  const bool text = std::all_of(start.begin(), start.end(), [](char c) {
    return std::isprint(static_cast<unsigned char>(c)) || c == '\n' || c == '\r' || c == '\t';
  });
  if (!text) return "binary content of no known format";
  std::string shown(start.substr(0, start.find_first_of("\r\n")));
  return "text beginning \"" + shown + "\"";
}

std::string describe_extension(const std::filesystem::path& path) {
  const std::string extension = to_utf8_lossy(path.extension().native());
  if (extension.empty()) return "no extension";
  return "the extension " + extension;
}

}  // namespace

std::optional<ModelFormat> format_from_content(std::string_view content) {
  if (content.starts_with(kZipSignature)) return ModelFormat::three_mf;
  if (content.starts_with("ply\n") || content.starts_with("ply\r\n")) return ModelFormat::ply;
  if (is_binary_stl(content) || starts_with_word(content, "solid")) return ModelFormat::stl;
  return std::nullopt;
}

std::optional<ModelFormat> format_from_extension(const std::filesystem::path& path) {
  std::string extension = path.extension().native();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (extension == ".stl") return ModelFormat::stl;
  if (extension == ".obj") return ModelFormat::obj;
  if (extension == ".ply") return ModelFormat::ply;
  if (extension == ".3mf") return ModelFormat::three_mf;
  return std::nullopt;
}

Result<Mesh> decode_model(std::string_view content, const std::filesystem::path& path,
                          const MaterialLibraryReader& materials) {
  std::optional<ModelFormat> format = format_from_content(content);
  if (!format) format = format_from_extension(path);
  if (!format) {
    return Error("unsupported model format: " + describe_content(content) + " and " +
                 describe_extension(path));
  }
  std::string name = default_mesh_name(path);
  switch (*format) {
    case ModelFormat::stl:
      return decode_stl(content, std::move(name));
    case ModelFormat::obj:
      return decode_obj(content, std::move(name), materials);
    case ModelFormat::ply:
      return decode_ply(content, std::move(name));
    case ModelFormat::three_mf:
      return decode_3mf(content, std::move(name));
  }
  return Error("unsupported model format");
}

Result<Mesh> load_model(const std::filesystem::path& path, Interruption& interruption) {
  // The content lives only inside this call, whatever its outcome.
  Result<std::string> content = read_whole_file(path, interruption);
  if (!content) {
    return std::move(content).error().with_context("failed to read model file " +
                                                   to_utf8_lossy(path.native()));
  }
  const MaterialLibraryReader beside_model = [&](std::string_view name) {
    Result<std::string> library = read_whole_file(path.parent_path() / name, interruption);
    return library ? std::optional(std::move(*library)) : std::nullopt;
  };
  Result<Mesh> mesh = decode_model(*content, path, beside_model);
  if (mesh) {
    mesh->source_path = path;
    mesh->size = extents(bounds_of(mesh->triangles));
  }
  return mesh;
}

}  // namespace facetview
