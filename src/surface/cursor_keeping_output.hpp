// Passes one frame on to an output so that the cursor ends where the
// program's text left it: a cursor save goes before the frame's first byte and
// a restore before its flush (or at close, for a frame that is not flushed).
// The bytes between are the frame's own, and a frame that writes nothing
// stays empty.
#pragma once

#include <initializer_list>
#include <string_view>

#include "common/byte_output.hpp"
#include "common/error.hpp"

namespace facetview {

class CursorKeepingOutput final : public ByteOutput {
 public:
  explicit CursorKeepingOutput(ByteOutput& output) : output_(output) {}

  Status write_all(std::string_view bytes) override;
  Status write_command(std::initializer_list<std::string_view> pieces) override;
  Status flush() override;
  void discard() override;

  // Restores the cursor after what was written since the last flush, without
  // flushing; does nothing when nothing was.
  Status close();

 private:
  Status save_before_first_write();

  ByteOutput& output_;
  bool saved_ = false;  // the cursor is saved and not yet restored
};

}  // namespace facetview
