#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>
#include <vector>

#include "kitty/presenter.hpp"
#include "support/memory_output.hpp"
#include "surface/fd_writer.hpp"
#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

using Q = Quality;
// A frame that starts afresh: the cursor saved, then every image deleted.
constexpr std::string_view kRebuild =
    "\x1b"
    "7\x1b_Ga=d,d=A,q=2\x1b\\";

TEST(FramebufferSize, Examples) {
  using S = std::tuple<Q, std::uint16_t, std::uint16_t, std::uint32_t, std::uint32_t>;
  for (const auto& [quality, cols, rows, width, height] :
       {S{Q::low, 80, 24, 240, 144}, S{Q::medium, 80, 24, 320, 192}, S{Q::high, 80, 24, 400, 240},
        S{Q::high, 120, 40, 600, 400}, S{Q::medium, 200, 50, 600, 350},
        S{Q::high, 200, 60, 800, 480}, S{Q::low, 160, 50, 320, 250}, S{Q::medium, 0, 0, 4, 8},
        S{Q::low, 1, 1, 3, 6},
        // Exactly the budget is not scaled, just above it is; totals saturate, not wrap.
        S{Q::medium, 125, 65, 500, 520}, S{Q::medium, 4063, 2, 12189, 14},
        S{Q::low, 1000, 1000, 1000, 1000}, S{Q::high, 65535, 65535, 65535, 65535}}) {
    const FrameSize size = framebuffer_size(quality, Viewport{7, 65535, cols, rows});
    EXPECT_EQ(size, (FrameSize{width, height})) << cols << "x" << rows;
  }
}

// A frame starts afresh on its first showing and after any change of size;
// an unchanged frame writes nothing.
TEST(TerminalSurface, FramesHaveTheFramebufferSizeAndRebuildOnlyOnChange) {
  TerminalSurface surface{Q::medium};
  const Viewport terminal{2, 1, 80, 24};
  using Step = std::tuple<Q, Viewport, bool>;
  for (const auto& [quality, viewport, rebuilds] :
       {Step{Q::medium, terminal, true}, Step{Q::medium, terminal, false},
        Step{Q::high, terminal, true}, Step{Q::high, terminal, false},
        Step{Q::low, {3, 4, 1, 1}, true}, Step{Q::medium, {5, 5, 0, 0}, true}}) {
    surface.set_quality(quality);
    MemoryOutput output;
    const Result<PresentedFrame> frame =
        surface.render_and_present(output, Mesh::demo_mesh(), kDefaultCamera, viewport);
    ASSERT_TRUE(frame.ok()) << frame.error().message();
    const FrameSize size = framebuffer_size(quality, viewport);
    EXPECT_EQ(frame->viewport, viewport);
    EXPECT_EQ((FrameSize{frame->width, frame->height}), size);
    EXPECT_EQ(surface.renderer().framebuffer().size(), std::size_t{size.width} * size.height * 4);
    EXPECT_EQ(output.flushes, rebuilds ? 1 : 0);
    EXPECT_EQ(rebuilds ? output.bytes.substr(0, kRebuild.size()) : output.bytes,
              rebuilds ? kRebuild : "");
  }
}

// Everything one read of the descriptor gives.
std::string drain(int fd) {
  std::string bytes(1 << 20, '\0');
  bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(::read(fd, bytes.data(), 1 << 20), 0)));
  return bytes;
}

struct Pipe {
  Pipe(int flags = 0) { EXPECT_EQ(::pipe2(fd, flags | O_CLOEXEC), 0); }
  ~Pipe() {
    ::close(fd[0]);
    ::close(fd[1]);
  }
  int fd[2] = {-1, -1};
};

// Sizes of the units handed to the writer, what reaches the pipe meanwhile.
TEST(FdWriter, SendsWholeFramesAndEarlyOnlyAtCommandBoundaries) {
  Pipe pipe(O_NONBLOCK);
  FdWriter writer(pipe.fd[1], 8);
  using Step = std::tuple<std::string_view, std::string_view>;
  for (const auto& [bytes, reaches] :
       {Step{"", ""}, Step{"abcd", ""}, Step{"efgh", ""},            // exactly the limit is held
        Step{"i", "abcdefgh"}, Step{"jklmnopqrst", "ijklmnopqrst"},  // larger: straight out
        Step{"uv", ""}, Step{"\n", ""}}) {
    ASSERT_TRUE(writer.write_all(bytes).ok());
    EXPECT_EQ(drain(pipe.fd[0]), reaches) << bytes;
  }
  ASSERT_TRUE(writer.write_command({"w", "", "xy"}).ok());
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(drain(pipe.fd[0]), "uv\nwxy");
  ASSERT_TRUE(writer.flush().ok());  // nothing is left behind
  writer.discard();
  EXPECT_EQ(drain(pipe.fd[0]), "");
}

// Writes to the writer it is asked by and discards, as a signal handler
// might; then makes room in the pipe.
struct MeddlingHandler final : Interruption {
  MeddlingHandler(FdWriter& writer, int fd) : writer(writer), fd(fd) {}
  Status check() override {
    for (Status status : {writer.write_all("x"), writer.flush()}) {
      refusals += !status && status.error().message() == "output is busy sending a frame";
    }
    writer.discard();
    seen += drain(fd);
    return Status::success();
  }
  FdWriter& writer;
  int fd, refusals = 0;
  std::string seen;
};

// The first write of a frame blocks on a full pipe until a signal stops it;
// the handler's writes are turned away and its discard leaves the frame it
// interrupted alone: the frame arrives whole, first byte included.
TEST(FdWriter, AHandlerCannotWriteOrDropTheFrameOnItsWay) {
  struct sigaction action {};
  action.sa_handler = [](int) {};  // no SA_RESTART: the write returns early
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
  Pipe pipe(O_NONBLOCK);
  ASSERT_GT(::fcntl(pipe.fd[1], F_SETPIPE_SZ, 4096), 0);
  std::string expected;
  while (::write(pipe.fd[1], "-", 1) == 1) expected += '-';
  ASSERT_EQ(::fcntl(pipe.fd[1], F_SETFL, 0), 0);
  FdWriter writer(pipe.fd[1]);
  MeddlingHandler handler(writer, pipe.fd[0]);
  writer.set_interruption(handler);
  std::string frame;
  while (frame.size() < 6000) frame += std::to_string(frame.size()) + ",";
  expected += frame;
  std::atomic<bool> done = false;
  std::thread sender([&] {
    EXPECT_TRUE(writer.write_all(frame).ok());
    EXPECT_TRUE(writer.flush().ok());
    done = true;
  });
  while (!done) {
    ::pthread_kill(sender.native_handle(), SIGUSR1);
    std::this_thread::yield();
  }
  sender.join();
  ::sigaction(SIGUSR1, &previous, nullptr);
  for (std::string part; !(part = drain(pipe.fd[0])).empty();) handler.seen += part;
  EXPECT_EQ(handler.seen, expected);
  EXPECT_GT(handler.refusals, 0);
}

// Where each command of a kitty stream ends.
std::vector<std::size_t> command_ends(std::string_view stream) {
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < stream.size();) {
    const std::string_view end_mark = stream.substr(at, 3) == "\x1b_G" ? "\x1b\\" : "H";
    const std::size_t end = stream.find(end_mark, at);
    if (end == std::string_view::npos) break;
    at = end + end_mark.size();
    ends.push_back(at);
  }
  return ends;
}

// A file that takes only its first n bytes (a file-size limit): for every n,
// the stream holds the first n bytes of the failed frame, the string
// terminator if they end inside a command, and then the next frame whole,
// rebuilt from scratch.
TEST(FdWriter, EveryCutOfAFrameIsFollowedByAWholeRebuild) {
  rlimit unlimited{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &unlimited), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  const int fd = ::memfd_create("stream", MFD_CLOEXEC);
  ASSERT_GE(fd, 0);

  // One tile of 32 x 32 pixels: its noise needs a second chunk.
  const Viewport viewport{1, 2, 8, 4};
  std::vector<std::uint8_t> first(32 * 32 * 4), second(first.size());
  std::mt19937 noise(5);
  for (std::size_t i = 0; i < first.size(); ++i) {
    first[i] = static_cast<std::uint8_t>(noise());
    second[i] = static_cast<std::uint8_t>(i / 7);
  }
  auto stream_of = [&](std::span<const std::uint8_t> frame) {
    MemoryOutput memory;
    KittyPresenter presenter;
    EXPECT_TRUE(presenter.present(memory, frame, {32, 32, viewport, {}}).ok());
    return memory.bytes;
  };
  const std::string first_stream = stream_of(first), second_stream = stream_of(second);
  const std::vector<std::size_t> ends = command_ends(first_stream);
  ASSERT_EQ(ends.back(), first_stream.size());
  ASSERT_GT(first_stream.size(), 4100u);

  for (const std::size_t limit : {std::size_t{100}, FdWriter::kDefaultFrameLimit}) {
    for (std::size_t n = 0; n < first_stream.size(); ++n) {
      SCOPED_TRACE("limit " + std::to_string(limit) + ", cut at " + std::to_string(n));
      ASSERT_EQ(::ftruncate(fd, 0), 0);
      ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
      KittyPresenter presenter;
      FdWriter writer(fd, limit);
      rlimit cut = unlimited;
      cut.rlim_cur = n;
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &cut), 0);
      const Status failed = presenter.present(writer, first, {32, 32, viewport, {}});
      ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &unlimited), 0);
      ASSERT_FALSE(failed.ok());
      EXPECT_EQ(failed.error().message(), os_error(EFBIG).message());
      ASSERT_TRUE(presenter.present(writer, second, {32, 32, viewport, {}}).ok());

      std::string written(first_stream.size() + second_stream.size() + 2, '\0');
      written.resize(static_cast<std::size_t>(::pread(fd, written.data(), written.size(), 0)));
      const bool torn = n != 0 && !std::binary_search(ends.begin(), ends.end(), n);
      ASSERT_EQ(written, first_stream.substr(0, n) + (torn ? "\x1b\\" : "") + second_stream);
    }
  }
  ::close(fd);
  std::signal(SIGXFSZ, old_handler);
}

}  // namespace
}  // namespace facetview
