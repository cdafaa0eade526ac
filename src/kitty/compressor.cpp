#include "kitty/compressor.hpp"

#include "kitty/zlib_compressor.hpp"

namespace facetview {

// zlib, also where ISA-L is built: igzip's streams for the same pixels differ
// from one run to another in about one run in twenty (they follow where the
// process's memory lies: with address randomisation off they do not vary),
// and byte streams must be comparable across runs and thread counts.
std::unique_ptr<Compressor> make_compressor() {
  return std::make_unique<ZlibCompressor>();
}

}  // namespace facetview
