// Strict UTF-8 validation: where the first fault of a byte string lies and how
// long the bad sequence is, and a lossy conversion for showing foreign text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.hpp"

namespace facetview {

struct Utf8Fault {
  std::size_t valid_up_to = 0;  // byte offset of the bad sequence; everything before is valid
  // Bytes of the bad sequence that a strict decoder consumed before giving up;
  // absent when the input ends inside an otherwise valid sequence.
  std::optional<std::size_t> sequence_length;
};

// The first fault of `bytes`, or nothing when it is valid UTF-8.
std::optional<Utf8Fault> find_utf8_fault(std::string_view bytes);

// "invalid utf-8 sequence of N bytes from index I" or
// "incomplete utf-8 byte sequence from index I".
Error utf8_fault_error(const Utf8Fault& fault);

// `bytes` with every bad sequence (and an incomplete one at the end) replaced
// by one U+FFFD.
std::string to_utf8_lossy(std::string_view bytes);

}  // namespace facetview
