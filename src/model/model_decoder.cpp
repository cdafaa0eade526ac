#include "model/model_decoder.hpp"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "common/utf8_validation.hpp"
#include "common/whole_file.hpp"
#include "model/binary_stl.hpp"
#include "model/bounds.hpp"
#include "model/content_kind.hpp"
#include "model/default_name.hpp"
#include "model/normalization.hpp"
#include "model/obj_decoder.hpp"
#include "model/ply_decoder.hpp"
#include "model/stl_decoder.hpp"
#include "model/stl_file.hpp"
#include "model/threemf_decoder.hpp"

namespace facetview {
namespace {

constexpr std::string_view kZipSignature("PK\x03\x04", 4);

bool starts_with_word(std::string_view content, std::string_view word) {
  if (!content.starts_with(word)) return false;
  return content.size() == word.size() ||
         std::isspace(static_cast<unsigned char>(content[word.size()]));
}

std::string describe_extension(const std::filesystem::path& path) {
  const std::string extension = to_utf8_lossy(path.extension().native());
  if (extension.empty()) return "no extension";
  return "the extension " + extension;
}

std::optional<ModelFormat> format_of(std::string_view content, const std::filesystem::path& path) {
  if (std::optional<ModelFormat> format = format_from_content(content)) return format;
  if (std::optional<ModelFormat> format = format_from_extension(path)) return format;
  if (looks_like_obj(content)) return ModelFormat::obj;
  return std::nullopt;
}

Result<Mesh> decode_format(ModelFormat format, std::string_view content, std::string name,
                           std::uint64_t budget, const MaterialLibraryReader& materials) {
  switch (format) {
    case ModelFormat::stl:
      return decode_stl(content, std::move(name));
    case ModelFormat::obj:
      return decode_obj(content, std::move(name), budget, materials);
    case ModelFormat::ply:
      return decode_ply(content, std::move(name), budget);
    case ModelFormat::three_mf:
      return decode_3mf(content, std::move(name), budget);
  }
  return Error("unsupported model format");
}

}  // namespace

std::optional<ModelFormat> format_from_content(std::string_view content) {
  if (content.starts_with(kZipSignature)) return ModelFormat::three_mf;
  const std::string_view text = without_byte_order_mark(content);
  if (text.starts_with("ply\n") || text.starts_with("ply\r\n")) return ModelFormat::ply;
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
                          const LoadLimits& limits, const MaterialLibraryReader& materials) {
  if (content.empty()) return Error("empty file");
  const std::optional<ModelFormat> format = format_of(content, path);
  // An image or an archive renamed .stl is no model, whatever its name says.
  const std::optional<std::string_view> foreign = foreign_file_kind(content);
  if (!format || (foreign && !format_from_content(content))) {
    return Error("unsupported model format: " + describe_content(content) + " and " +
                 describe_extension(path));
  }
  const std::uint64_t budget = triangle_budget(content.size(), limits);
  Result<Mesh> mesh = decode_format(*format, content, default_mesh_name(path), budget, materials);
  if (!mesh) return mesh;
  if (mesh->triangles.size() > budget) return too_many_triangles(budget);
  mesh->size = extents(bounds_of(mesh->triangles));
  // Normalization would shrink such a model to a point.
  if (!std::isfinite(mesh->size.x + mesh->size.y + mesh->size.z)) {
    return Error("the model spans more than the 32-bit float range");
  }
  return mesh;
}

Result<Mesh> load_model(const std::filesystem::path& path, Interruption& interruption,
                        const LoadLimits& limits, AcceptedFormats accepted) {
  if (accepted == AcceptedFormats::stl) {
    std::optional<Bounds> unused;
    return read_stl_file(path, interruption, limits.max_stream_bytes, unused);
  }
  // The content lives only inside this call, whatever its outcome.
  Result<std::string> content = read_whole_file(path, interruption, limits.max_stream_bytes);
  if (!content) {
    return std::move(content).error().with_context("failed to read model file " +
                                                   to_utf8_lossy(path.native()));
  }
  const MaterialLibraryReader beside_model = [&](std::string_view name) {
    Result<std::string> library =
        read_whole_file(path.parent_path() / name, interruption, limits.max_stream_bytes);
    return library ? std::optional(std::move(*library)) : std::nullopt;
  };
  Result<Mesh> mesh = decode_model(*content, path, limits, beside_model);
  if (mesh) mesh->source_path = path;
  return mesh;
}

Result<Mesh> load_normalized_model(const std::filesystem::path& path, Interruption& interruption,
                                   const LoadLimits& limits, AcceptedFormats accepted) {
  std::optional<Bounds> bounds;
  Result<Mesh> mesh = accepted == AcceptedFormats::stl
                          ? read_stl_file(path, interruption, limits.max_stream_bytes, bounds)
                          : load_model(path, interruption, limits);
  if (!mesh) return mesh;
  if (!bounds) return std::move(*mesh).normalized();
  return normalized_within(std::move(*mesh), *bounds);
}

}  // namespace facetview
