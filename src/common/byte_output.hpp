// The writable byte stream that frames are presented to: standard output in
// the system, an in-memory buffer in tests.
#pragma once

#include <string_view>

#include "common/error.hpp"

namespace facetview {

class ByteOutput {
 public:
  virtual ~ByteOutput() = default;
  // Writes every byte or fails; on failure some prefix may have been written.
  virtual Status write_all(std::string_view bytes) = 0;
  virtual Status flush() = 0;
};

}  // namespace facetview
