#include "surface/stdout_writer.hpp"

#include <unistd.h>

#include "surface/fd_writer.hpp"

namespace facetview {

ByteOutput& standard_output(Interruption& interruption) {
  static FdWriter writer(STDOUT_FILENO);
  writer.set_interruption(interruption);
  return writer;
}

std::recursive_mutex& standard_output_lock() {
  static std::recursive_mutex lock;
  return lock;
}

}  // namespace facetview
