// Reading an STL file as it streams in, for the STL-only load of load_model
// (model_decoder.hpp).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "common/error.hpp"
#include "common/interruption.hpp"
#include "model/bounds.hpp"
#include "model/mesh.hpp"

namespace facetview {

// Reads a binary or ASCII STL file; the coordinates are those of the file, and
// the result carries the path and its size. A file with a reported size is
// decoded while it is read and `bounds` gets its box; others (pipes, devices)
// are read whole first, up to `max_stream_bytes`, and `bounds` stays empty.
// Reading errors come with "failed to read STL file" and the path in front;
// decoding errors come back unchanged.
Result<Mesh> read_stl_file(const std::filesystem::path& path, Interruption& interruption,
                           std::uint64_t max_stream_bytes, std::optional<Bounds>& bounds);

}  // namespace facetview
