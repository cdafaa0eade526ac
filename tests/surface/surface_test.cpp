#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <new>
#include <optional>
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
constexpr std::string_view rebuild =
    "\x1b"
    "7\x1b_Ga=d,d=A,q=2\x1b\\";

TEST(Quality, NamesAreExactAndCaseSensitive) {
  const std::optional<Q> none;
  const std::pair<std::string_view, std::optional<Q>> cases[] = {
      {"low", Q::low},   {"med", Q::medium}, {"medium", Q::medium},
      {"high", Q::high}, {"full", Q::full},  {"Full", none},
      {"Medium", none},  {"HIGH", none},     {" low", none},
      {"low ", none},    {"", none},         {"ultra", none},
      {"mediu", none},   {"medium2", none}};
  for (const auto& [text, quality] : cases) {
    EXPECT_EQ(parse_quality(text), quality) << text;
    EXPECT_TRUE(!quality || text == "med" || quality_name(*quality) == text) << text;
  }
}

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

class TerminalSurfaceTest : public testing::Test {
 protected:
  Result<PresentedFrame> present(ByteOutput& out, Viewport viewport) {
    output = MemoryOutput{};
    return surface.render_and_present(out, Mesh::demo_mesh(), default_camera, viewport);
  }
  void expect_frame(Viewport viewport) {
    const Result<PresentedFrame> frame = present(output, viewport);
    ASSERT_TRUE(frame.ok()) << frame.error().message();
    const FrameSize size = framebuffer_size(surface.quality(), viewport);
    EXPECT_EQ(frame->viewport, viewport);
    EXPECT_EQ((FrameSize{frame->width, frame->height}), size);
    EXPECT_EQ(surface.renderer().framebuffer().size(), std::size_t{size.width} * size.height * 4);
  }
  TerminalSurface surface{Q::medium};
  MemoryOutput output;
  const Viewport terminal{2, 1, 80, 24};
};

TEST_F(TerminalSurfaceTest, FramesHaveTheFramebufferSizeAndRebuildOnlyOnChange) {
  using Step = std::tuple<Q, Viewport, std::string_view, int>;  // head: all if nothing flushed
  for (const auto& [quality, viewport, head, flushes] :
       {Step{Q::medium, terminal, rebuild, 1}, Step{Q::medium, terminal, "", 0},
        Step{Q::high, terminal, rebuild, 1}, Step{Q::high, terminal, "", 0},
        Step{Q::low, {3, 4, 1, 1}, rebuild, 1}, Step{Q::low, {0, 0, 200, 50}, rebuild, 1},
        Step{Q::medium, {5, 5, 0, 0}, rebuild, 1}}) {
    surface.set_quality(quality);
    expect_frame(viewport);
    EXPECT_EQ(output.flushes, flushes);
    EXPECT_EQ(flushes ? output.bytes.substr(0, head.size()) : output.bytes, head);
  }
}

TEST_F(TerminalSurfaceTest, UnallocatableFrameThrowsAndLeavesTheSurfaceUsable) {
  expect_frame(terminal);
  EXPECT_THROW((void)present(output, Viewport{0, 0, 65535, 65535}), std::bad_alloc);
  EXPECT_EQ(output.bytes, "");
  expect_frame(terminal);
  EXPECT_EQ(output.bytes, "");  // the presenter still holds the last frame
}

TEST_F(TerminalSurfaceTest, OutputFailureIsReturnedUnchangedAndTheNextFrameRebuilds) {
  const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  expect_frame(terminal);
  for (const std::size_t limit : {std::size_t{16}, FdWriter::default_frame_limit}) {
    FdWriter full(fd, limit);  // fails on an early part of the frame, then on the flush
    surface.set_quality(limit == 16 ? Q::low : Q::high);
    const Result<PresentedFrame> frame = present(full, terminal);
    ASSERT_FALSE(frame.ok());
    EXPECT_EQ(frame.error().message(), "No space left on device (os error 28)");
    EXPECT_EQ(frame.error().cause(), nullptr);
  }
  ::close(fd);
  expect_frame(terminal);
  EXPECT_EQ(output.bytes.substr(0, rebuild.size()), rebuild);
  EXPECT_EQ(output.flushes, 1);
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

// Writes to the writer it is asked by, as a signal handler might.
class WritingHandler final : public Interruption {
 public:
  explicit WritingHandler(FdWriter& writer) : writer_(writer) {}
  Status check() override {
    for (Status status : {writer_.write_all("x"), writer_.flush()}) {
      refusals += !status && status.error().message() == "output is busy sending a frame";
    }
    writer_.discard();
    return Status::success();
  }
  int refusals = 0;

 private:
  FdWriter& writer_;
};

// A reader that takes small bites of a non-blocking pipe: the writer waits for
// room instead of failing, and the frame arrives whole, even when a signal
// handler tries to write meanwhile.
TEST(FdWriter, WaitsForASlowReaderOfANonBlockingPipe) {
  Pipe pipe(O_NONBLOCK);
  ASSERT_GT(::fcntl(pipe.fd[1], F_SETPIPE_SZ, 4096), 0);
  std::string frame;
  while (frame.size() < 200000) frame += std::to_string(frame.size()) + ",";
  std::string seen;
  std::thread reader([&] {
    ::fcntl(pipe.fd[0], F_SETFL, 0);
    char bite[700];
    for (ssize_t got; (got = ::read(pipe.fd[0], bite, sizeof bite)) > 0;) seen.append(bite, got);
  });
  FdWriter writer(pipe.fd[1]);
  WritingHandler handler(writer);
  writer.set_interruption(handler);
  ASSERT_TRUE(writer.write_all(frame).ok());
  EXPECT_TRUE(writer.flush().ok());
  ::close(pipe.fd[1]);
  pipe.fd[1] = -1;
  reader.join();
  EXPECT_EQ(seen, frame);
  EXPECT_GT(handler.refusals, 0);  // short writes asked it, and it was turned away
}

// The first write of a frame blocks on a full pipe until a signal stops it;
// the handler then discards and makes room: the frame it interrupted is not
// its to drop, and arrives whole, first byte included.
TEST(FdWriter, DiscardFromAHandlerLeavesTheFrameOnItsWayWhole) {
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
  struct Draining final : Interruption {  // makes room once it has tried to get in the way
    Draining(FdWriter& writer, int fd) : writing(writer), fd(fd) {}
    Status check() override {
      Status go_on = writing.check();
      seen += drain(fd);
      return go_on;
    }
    WritingHandler writing;
    int fd;
    std::string seen;
  } handler(writer, pipe.fd[0]);
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
  EXPECT_GT(handler.writing.refusals, 0);
}

class StopAtOnce final : public Interruption {
 public:
  Status check() override {
    ++checks;
    return Error("stopped by a signal handler");
  }
  std::atomic<int> checks = 0;
};

// A write blocked on a full pipe hears a signal: the interruption stops the
// frame, and the command cut in two is ended before anything else goes out.
TEST(FdWriter, SignalStopsABlockedWriteAndTheCutCommandIsTerminated) {
  struct sigaction action {};
  action.sa_handler = [](int) {};  // no SA_RESTART: the write returns early
  struct sigaction previous {};
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &previous), 0);
  Pipe pipe;
  const std::string first(40000, 'a'), second(40000, 'b');
  StopAtOnce stop;
  FdWriter writer(pipe.fd[1]);
  writer.set_interruption(stop);
  std::atomic<bool> done = false;
  Status flushed;
  std::thread sender([&] {
    EXPECT_TRUE(writer.write_all(first).ok());
    EXPECT_TRUE(writer.write_all(second).ok());
    flushed = writer.flush();
    done = true;
  });
  const pthread_t sender_thread = sender.native_handle();
  while (!done) {
    ::pthread_kill(sender_thread, SIGUSR1);
    std::this_thread::yield();
  }
  sender.join();
  ::sigaction(SIGUSR1, &previous, nullptr);
  ASSERT_FALSE(flushed.ok());
  EXPECT_EQ(flushed.error().message(), "stopped by a signal handler");
  EXPECT_EQ(stop.checks, 1);

  ::fcntl(pipe.fd[0], F_SETFL, O_NONBLOCK);
  std::string seen;
  for (std::string part; !(part = drain(pipe.fd[0])).empty();) seen += part;
  ASSERT_EQ(seen, (first + second).substr(0, seen.size()));
  const bool cut = seen.size() != 0 && seen.size() != first.size();
  writer.set_interruption(retry_on_signal());
  ASSERT_TRUE(writer.write_all("next").ok());
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(drain(pipe.fd[0]), cut ? "\x1b\\next" : "next");
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

  for (const std::size_t limit : {std::size_t{100}, FdWriter::default_frame_limit}) {
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
