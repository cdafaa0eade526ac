// Reading an STL file as it streams in, for load_model (model_decoder.hpp).
#pragma once

#include <filesystem>
#include <optional>

#include "common/error.hpp"
#include "common/interruption.hpp"
#include "model/bounds.hpp"
#include "model/mesh.hpp"

namespace facetview {

// Reads a binary or ASCII STL file; the coordinates are those of the file, and
// the result carries the path and its size. A file with a reported size is
// decoded while it is read and `bounds` gets its box; others are read whole
// first and `bounds` stays empty.
Result<Mesh> read_stl_file(const std::filesystem::path& path, Interruption& interruption,
                           std::optional<Bounds>& bounds);

}  // namespace facetview
