// Frames for a file descriptor: standard output is one.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/byte_output.hpp"
#include "common/error.hpp"
#include "common/interruption.hpp"

namespace facetview {

// Commands are appended to one frame buffer, and flush() sends the frame with
// as few write() calls as the descriptor accepts. A frame that would grow past
// `frame_limit` is sent in parts, each ending at a command boundary; a single
// command larger than the limit goes out straight from the caller's bytes.
//
// A write that fails drops what is left of the frame, so nothing is ever held
// between frames. When the failure cut a command in two, the terminal is left
// inside an escape string: the next bytes sent then begin with the string
// terminator ESC \, which leaves it.
//
// A non-blocking descriptor that is full is waited for with poll(). Whenever
// a signal may have arrived (EINTR, or a write cut short), `interruption` is
// asked whether to go on. One caller at a time: the process's writer on
// standard output is shared under standard_output_lock() (stdout_writer.hpp).
class FdWriter final : public ByteOutput {
 public:
  static constexpr std::size_t kDefaultFrameLimit = std::size_t{4} << 20;

  // Does not take ownership of fd.
  explicit FdWriter(int fd, std::size_t frame_limit = kDefaultFrameLimit);

  FdWriter(const FdWriter&) = delete;
  FdWriter& operator=(const FdWriter&) = delete;

  Status write_all(std::string_view bytes) override;
  Status write_command(std::initializer_list<std::string_view> pieces) override;
  Status flush() override;
  void discard() override;

  // Asked from now on when a signal may have interrupted a write; must outlive
  // its use here.
  void set_interruption(Interruption& interruption) { interruption_ = &interruption; }

 private:
  // Sends the owed terminator, then `commands`, whose ends (offsets into
  // their concatenation) are `command_ends`.
  Status send(std::span<const std::string_view> commands,
              std::span<const std::size_t> command_ends);
  Status send_frame();

  const int fd_;
  const std::size_t frame_limit_;
  Interruption* interruption_;
  std::string frame_;
  std::vector<std::size_t> command_ends_;  // where each appended unit ends in frame_
  bool owes_terminator_ = false;           // a failed write cut a command in two
  bool sending_ = false;                   // a signal handler must not write meanwhile
};

}  // namespace facetview
