// The one place that tells model formats apart and hands the content to the
// decoder of its format.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.hpp"
#include "common/interruption.hpp"
#include "model/load_limits.hpp"
#include "model/mesh.hpp"
#include "model/obj_materials.hpp"

namespace facetview {

enum class ModelFormat { stl, obj, ply, three_mf };

// What load_model accepts: any format, told apart as decode_model does, or STL
// alone, decoded as STL whatever the content looks like.
enum class AcceptedFormats { any, stl };

// The format that the content's first bytes announce: a zip archive (3MF), a
// "ply" line, the length rule of binary STL, or a "solid" word (ASCII STL).
std::optional<ModelFormat> format_from_content(std::string_view content);

// The format that the path's extension names (.stl, .obj, .ply, .3mf, in any
// letter case).
std::optional<ModelFormat> format_from_extension(const std::filesystem::path& path);

// The mesh of a model file's content, in the format its content announces,
// else the one its extension names, else OBJ when it reads as OBJ, else
// "unsupported model format" with what the content looks like (also for a
// well-known file that is no model, such as an image, whatever the
// extension). "empty file" for no content. The mesh has its size and no
// source path; `path` gives the extension and the default name. Beyond the
// triangle budget of `limits` (triangle_budget), or with a size beyond the
// float range, the mesh is refused. `materials` reads the material libraries
// an OBJ file names.
Result<Mesh> decode_model(std::string_view content, const std::filesystem::path& path,
                          const LoadLimits& limits = {},
                          const MaterialLibraryReader& materials = {});

// Reads and decodes the model file at `path`; the result carries the path and
// its size, with the coordinates of the file. A read that a signal interrupts
// asks `interruption` whether to go on. Any format: see decode_model, an OBJ
// file's material libraries read from beside it, and "failed to read model
// file" in front of a reading error. STL alone: see read_stl_file, which
// decodes the file while it is read; of `limits` only the read limit applies,
// and no triangle budget or float range refuses the mesh.
Result<Mesh> load_model(const std::filesystem::path& path,
                        Interruption& interruption = retry_on_signal(),
                        const LoadLimits& limits = {},
                        AcceptedFormats accepted = AcceptedFormats::any);

// load_model and Mesh::normalized in one, the triangles changed in place; an
// STL file read block by block is normalized with the box found while it was
// decoded.
Result<Mesh> load_normalized_model(const std::filesystem::path& path,
                                   Interruption& interruption = retry_on_signal(),
                                   const LoadLimits& limits = {},
                                   AcceptedFormats accepted = AcceptedFormats::any);

}  // namespace facetview
