// An in-memory ByteOutput for presenter tests: records every byte and flush,
// and can be told to fail.
#pragma once

#include <string>
#include <string_view>

#include "common/byte_output.hpp"

namespace facetview {

struct MemoryOutput final : ByteOutput {
  Status write_all(std::string_view written) override {
    if (fail_writes) return Error("write failed");
    bytes.append(written);
    return Status::success();
  }
  Status flush() override {
    if (fail_flush) return Error("flush failed");
    ++flushes;
    return Status::success();
  }
  std::string take() {
    std::string taken;
    taken.swap(bytes);
    return taken;
  }
  std::string bytes;
  int flushes = 0;
  bool fail_writes = false;
  bool fail_flush = false;
};

}  // namespace facetview
