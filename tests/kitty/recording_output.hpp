// A ByteOutput that keeps everything in memory and can be told to fail.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_output.hpp"

namespace facetview {

class RecordingOutput : public ByteOutput {
 public:
  static constexpr std::string_view write_failure = "injected write failure";
  static constexpr std::string_view flush_failure = "injected flush failure";

  Status write_all(std::string_view data) override {
    const std::size_t index = write_calls++;
    if (fail_at_write && index >= *fail_at_write) return Error(std::string(write_failure));
    bytes.append(data);
    return Status::success();
  }

  Status flush() override {
    if (fail_flush) return Error(std::string(flush_failure));
    flushed_at.push_back(bytes.size());
    return Status::success();
  }

  void clear() {
    bytes.clear();
    flushed_at.clear();
    write_calls = 0;
  }

  std::string bytes;
  std::vector<std::size_t> flushed_at;  // length of bytes at each successful flush
  std::size_t write_calls = 0;
  std::optional<std::size_t> fail_at_write;  // zero-based index of the first failing write
  bool fail_flush = false;
};

}  // namespace facetview
