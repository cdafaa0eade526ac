#include "surface/fd_writer.hpp"

#include <poll.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace facetview {
namespace {

// Ends an escape string that a failed write left open.
constexpr std::string_view kStringTerminator = "\x1b\\";
// Pieces handed to one writev() call; the loop goes on with the rest.
constexpr std::size_t kMaxPiecesPerCall = 16;

// A signal handler that writes while a frame is on its way would tear it.
Error busy_error() {
  return Error("output is busy sending a frame");
}

// Blocks until fd takes bytes again; an error or hang-up also wakes it, and the
// next write reports it.
Status wait_until_writable(int fd, Interruption& interruption) {
  pollfd waiting{fd, POLLOUT, 0};
  while (::poll(&waiting, 1, -1) < 0) {
    if (errno != EINTR) return os_error(errno);
    if (Status go_on = interruption.check(); !go_on) return go_on;
  }
  return Status::success();
}

// Writes every byte of `pieces`, in order. `written` tells how many bytes went
// out, also on failure.
Status write_pieces(int fd, std::span<const std::string_view> pieces, Interruption& interruption,
                    std::size_t& written) {
  written = 0;
  std::size_t total = 0;
  for (const std::string_view bytes : pieces) total += bytes.size();
  std::size_t piece = 0;
  std::size_t offset = 0;  // bytes of pieces[piece] already written
  while (true) {
    while (piece < pieces.size() && offset == pieces[piece].size()) {
      ++piece;
      offset = 0;
    }
    if (piece == pieces.size()) return Status::success();

    std::array<iovec, kMaxPiecesPerCall> vectors{};
    std::size_t count = 0;
    for (std::size_t p = piece, skip = offset; p < pieces.size() && count < vectors.size();
         ++p, skip = 0) {
      if (pieces[p].size() == skip) continue;
      vectors[count++] = {const_cast<char*>(pieces[p].data() + skip), pieces[p].size() - skip};
    }
    const ssize_t result = ::writev(fd, vectors.data(), static_cast<int>(count));
    if (result < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        if (Status ready = wait_until_writable(fd, interruption); !ready) return ready;
      } else if (errno == EINTR) {
        if (Status go_on = interruption.check(); !go_on) return go_on;
      } else {
        return os_error(errno);
      }
      continue;
    }
    if (result == 0) return Error("failed to write whole buffer");

    written += static_cast<std::size_t>(result);
    for (std::size_t taken = static_cast<std::size_t>(result); taken > 0;) {
      const std::size_t step = std::min(taken, pieces[piece].size() - offset);
      offset += step;
      taken -= step;
      if (offset == pieces[piece].size()) {
        ++piece;
        offset = 0;
      }
    }
    // A short write on a blocking descriptor means a signal cut it short: its
    // handler gets to run before the next write can block again.
    if (written < total) {
      if (Status go_on = interruption.check(); !go_on) return go_on;
    }
  }
}

}  // namespace

FdWriter::FdWriter(int fd, std::size_t frame_limit)
    : fd_(fd), frame_limit_(frame_limit), interruption_(&retry_on_signal()) {}

Status FdWriter::write_all(std::string_view bytes) {
  return write_command({bytes});
}

Status FdWriter::write_command(std::initializer_list<std::string_view> pieces) {
  if (sending_) return busy_error();
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  if (size == 0) return Status::success();
  if (!frame_.empty() && size > frame_limit_ - frame_.size()) {
    if (Status sent = send_frame(); !sent) return sent;
  }
  if (size > frame_limit_) {
    const std::size_t end = size;
    return send({pieces.begin(), pieces.size()}, {&end, 1});
  }
  for (const std::string_view piece : pieces) frame_.append(piece);
  command_ends_.push_back(frame_.size());
  return Status::success();
}

Status FdWriter::flush() {
  if (sending_) return busy_error();
  if (frame_.empty()) return Status::success();
  return send_frame();
}

void FdWriter::discard() {
  if (sending_) return;  // the frame on its way is not the caller's
  frame_.clear();
  command_ends_.clear();
}

Status FdWriter::send_frame() {
  const std::string_view frame = frame_;
  Status sent = send({&frame, 1}, command_ends_);
  frame_.clear();
  command_ends_.clear();
  return sent;
}

Status FdWriter::send(std::span<const std::string_view> commands,
                      std::span<const std::size_t> command_ends) {
  sending_ = true;

  std::array<std::string_view, kMaxPiecesPerCall> pieces{};
  std::size_t count = 0;
  const std::size_t owed = owes_terminator_ ? kStringTerminator.size() : 0;
  if (owed != 0) pieces[count++] = kStringTerminator;
  for (const std::string_view command : commands) {
    if (count == pieces.size()) {
      sending_ = false;
      return Error("too many pieces in one command");
    }
    pieces[count++] = command;
  }

  std::size_t written = 0;
  Status status = write_pieces(fd_, {pieces.data(), count}, *interruption_, written);
  sending_ = false;
  if (status) {
    owes_terminator_ = false;
  } else if (written > 0) {
    // Torn unless the cut fell where a command ends.
    const bool inside_terminator = written < owed;
    const std::size_t into_commands = written - std::min(written, owed);
    const bool at_boundary =
        into_commands == 0 ||
        std::binary_search(command_ends.begin(), command_ends.end(), into_commands);
    owes_terminator_ = inside_terminator || !at_boundary;
  }
  return status;
}

}  // namespace facetview
