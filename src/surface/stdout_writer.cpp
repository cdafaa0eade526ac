#include "surface/stdout_writer.hpp"

#include <unistd.h>

#include <cstddef>

#include "surface/fd_writer.hpp"

namespace facetview {

namespace {

constexpr std::size_t standard_output_capacity = 1024;

}  // namespace

ByteOutput& standard_output() {
  // Never destroyed, so that a flush at interpreter exit still finds it.
  static FdWriter* const writer = new FdWriter(STDOUT_FILENO, standard_output_capacity);
  return *writer;
}

Status flush_standard_output() {
  return standard_output().flush();
}

}  // namespace facetview
