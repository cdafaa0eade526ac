// The writable byte stream that frames are presented to: standard output in
// the system, an in-memory buffer in tests.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "common/error.hpp"

namespace facetview {

// A frame is built from whole commands and then sent as a unit: a stream
// never carries part of a command unless the descriptor itself failed.
class ByteOutput {
 public:
  virtual ~ByteOutput() = default;

  // Appends the bytes of one or more whole commands to the frame being built.
  virtual Status write_all(std::string_view bytes) = 0;

  // Appends one command given in pieces (say a header, a payload and its
  // terminator) as one unit. Outputs that can take the pieces without joining
  // them first override this.
  virtual Status write_command(std::initializer_list<std::string_view> pieces) {
    std::string command;
    for (const std::string_view piece : pieces) command += piece;
    return write_all(command);
  }

  // Sends the frame. On failure, what is left of the frame is dropped.
  virtual Status flush() = 0;

  // Drops the commands appended since the last flush: the frame was abandoned
  // half-way. Outputs that hold nothing back have nothing to drop.
  virtual void discard() {}
};

}  // namespace facetview
