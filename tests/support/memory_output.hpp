// An in-memory ByteOutput for presenter tests that keeps what a frame writer
// would send: a discarded frame never leaves. From write fail_at_write on,
// every write and flush fails.
#pragma once

#include <string>
#include <string_view>
#include <utility>

#include "common/byte_output.hpp"

namespace facetview {

struct MemoryOutput final : ByteOutput {
  Status write_all(std::string_view written) override {
    if (writes >= fail_at_write) return Error("write failed");
    ++writes;
    bytes.append(written);
    return Status::success();
  }
  Status flush() override {
    if (writes >= fail_at_write) return Error("flush failed");
    ++flushes;
    sent = bytes.size();
    return Status::success();
  }
  void discard() override { bytes.resize(sent); }
  void fail_from_now(bool fail) { fail_at_write = fail ? writes : std::string::npos; }
  std::string take() {
    sent = 0;
    return std::exchange(bytes, {});
  }
  std::string bytes;
  std::size_t writes = 0, sent = 0, fail_at_write = std::string::npos;
  int flushes = 0;
};

}  // namespace facetview
