#include "kitty/compressor.hpp"

#if FACETVIEW_HAVE_ISAL
#include "kitty/isal_compressor.hpp"
#else
#include "kitty/zlib_compressor.hpp"
#endif

namespace facetview {

std::unique_ptr<Compressor> make_compressor() {
#if FACETVIEW_HAVE_ISAL
  return std::make_unique<IsalCompressor>();
#else
  return std::make_unique<ZlibCompressor>();
#endif
}

}  // namespace facetview
