// A ByteOutput that keeps everything in memory and fails on request.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/byte_output.hpp"
#include "common/error.hpp"

namespace facetview {

class MemoryOutput final : public ByteOutput {
 public:
  Status write_all(std::string_view written) override {
    if (write_error) return *write_error;
    bytes.append(written);
    return Status::success();
  }

  Status flush() override {
    if (flush_error) return *flush_error;
    ++flushes;
    return Status::success();
  }

  std::string bytes;
  int flushes = 0;
  std::optional<Error> write_error;  // returned by every write while set
  std::optional<Error> flush_error;  // returned by every flush while set
};

}  // namespace facetview
