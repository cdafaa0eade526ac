// Decoding an STL file block by block as it is read.
#pragma once

#include <cstdint>
#include <string>

#include "common/error.hpp"
#include "common/file_reader.hpp"
#include "common/interruption.hpp"
#include "model/bounds.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The mesh of a file whose size is known, read a block at a time: no copy of
// the file lives beside the mesh, and each block is decoded while it is in the
// cache. Binary or ASCII is decided by the reported size and the first bytes,
// as for content in memory. A failed read is returned with `read_context` in
// front of the system's error; decoding errors come back unchanged. `bounds`
// receives the mesh's box (bounds_of), found block by block while the new
// triangles are still in the cache.
Result<Mesh> decode_stl_stream(FileReader& file, std::uint64_t reported_size,
                               std::string default_name, Interruption& interruption,
                               const std::string& read_context, Bounds& bounds);

}  // namespace facetview
