#include "surface/fd_writer.hpp"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "surface/stdout_writer.hpp"

namespace facetview {
namespace {

// Both ends of a pipe, closed at the end of the test.
class Pipe {
 public:
  Pipe() {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe failed");
    read_end_ = fds[0];
    write_end_ = fds[1];
  }
  ~Pipe() {
    ::close(read_end_);
    ::close(write_end_);
  }
  Pipe(const Pipe&) = delete;
  Pipe& operator=(const Pipe&) = delete;

  int read_end() const { return read_end_; }
  int write_end() const { return write_end_; }

  void make_nonblocking(int fd) const { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

  // Everything readable right now, without waiting for more.
  std::string drain() const {
    make_nonblocking(read_end_);
    std::string bytes;
    char chunk[4096];
    for (;;) {
      const ssize_t n = ::read(read_end_, chunk, sizeof chunk);
      if (n <= 0) break;
      bytes.append(chunk, static_cast<std::size_t>(n));
    }
    return bytes;
  }

 private:
  int read_end_;
  int write_end_;
};

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('a' + i % 26);
  return bytes;
}

struct WriteStep {
  std::string bytes;
  std::string reaches_fd;  // what the descriptor receives during this write
  std::size_t buffered_after;
};

struct BufferingCase {
  const char* name;
  std::vector<WriteStep> steps;
};

class FdWriterBuffering : public testing::TestWithParam<BufferingCase> {};

constexpr std::size_t small_capacity = 16;

TEST_P(FdWriterBuffering, EmptiesTheBufferOnlyWhenItMust) {
  Pipe pipe;
  FdWriter writer(pipe.write_end(), small_capacity);
  std::string all;
  for (const WriteStep& step : GetParam().steps) {
    ASSERT_TRUE(writer.write_all(step.bytes).ok());
    EXPECT_EQ(pipe.drain(), step.reaches_fd) << "writing " << step.bytes;
    EXPECT_EQ(writer.buffered_size(), step.buffered_after) << "writing " << step.bytes;
    all += step.bytes;
  }
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(writer.buffered_size(), 0u);
  // Whatever was flushed before, the descriptor has seen every byte in order.
  std::string seen;
  for (const WriteStep& step : GetParam().steps) seen += step.reaches_fd;
  seen += pipe.drain();
  EXPECT_EQ(seen, all);
}

const std::string sixteen = pattern(16);
const std::string seventeen = pattern(17);

INSTANTIATE_TEST_SUITE_P(
    Writes, FdWriterBuffering,
    testing::Values(BufferingCase{"SmallWritesStay", {{"abc", "", 3}, {"def", "", 6}}},
                    BufferingCase{"EmptyWrite", {{"", "", 0}, {"ab", "", 2}, {"", "", 2}}},
                    BufferingCase{"ExactlyTheCapacityFits", {{sixteen, "", 16}}},
                    BufferingCase{"FillingUpExactlyStays", {{"abc", "", 3}, {pattern(13), "", 16}}},
                    BufferingCase{"NotFittingFlushesFirst",
                                  {{"abc", "", 3}, {pattern(14), "abc", 14}}},
                    BufferingCase{"FullBufferThenOneByte", {{sixteen, "", 16}, {"x", sixteen, 1}}},
                    BufferingCase{"LargerThanBufferGoesDirect",
                                  {{"abc", "", 3}, {seventeen, "abc" + seventeen, 0}}},
                    BufferingCase{"LargerThanBufferFromEmpty", {{seventeen, seventeen, 0}}},
                    BufferingCase{"LineFeedEmptiesUpToIt", {{"ab\ncd", "ab\n", 2}}},
                    BufferingCase{"LastLineFeedCounts", {{"x", "", 1}, {"a\nb\nc", "xa\nb\n", 1}}},
                    BufferingCase{"TrailingLineFeed", {{"ab", "", 2}, {"cd\n", "abcd\n", 0}}}),
    [](const testing::TestParamInfo<BufferingCase>& info) { return info.param.name; });

TEST(FdWriterErrors, DeviceFullIsReportedWithTheOsMessage) {
  const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  FdWriter writer(fd, small_capacity);

  // Too large for the buffer: goes straight to the device.
  Status direct = writer.write_all(seventeen);
  ASSERT_FALSE(direct.ok());
  EXPECT_EQ(direct.error().message(), "No space left on device (os error 28)");
  EXPECT_EQ(direct.error().cause(), nullptr);

  // Buffered bytes survive a failed flush and fail again on the next one.
  ASSERT_TRUE(writer.write_all("abc").ok());
  for (int attempt = 0; attempt < 2; ++attempt) {
    Status flushed = writer.flush();
    ASSERT_FALSE(flushed.ok());
    EXPECT_EQ(flushed.error().message(), "No space left on device (os error 28)");
    EXPECT_EQ(writer.buffered_size(), 3u);
  }

  // A write that would need the buffer emptied fails without being taken in.
  Status overflowing = writer.write_all(pattern(14));
  ASSERT_FALSE(overflowing.ok());
  EXPECT_EQ(writer.buffered_size(), 3u);
  ::close(fd);
}

TEST(FdWriterErrors, ClosedDescriptorIsReported) {
  FdWriter writer(-1, small_capacity);
  ASSERT_TRUE(writer.write_all("abc").ok());
  Status flushed = writer.flush();
  ASSERT_FALSE(flushed.ok());
  EXPECT_EQ(flushed.error().message(), os_error(EBADF).message());
}

// A non-blocking pipe takes part of a large write and then refuses the rest:
// the part it took leaves the buffer, the rest stays at its front in order.
TEST(FdWriterErrors, PartiallyFlushedBytesStayInOrder) {
  Pipe pipe;
  pipe.make_nonblocking(pipe.write_end());
  const std::size_t pipe_capacity =
      static_cast<std::size_t>(::fcntl(pipe.write_end(), F_GETPIPE_SZ));
  const std::string first = pattern(pipe_capacity + 5000);
  const std::string second = "tail";
  FdWriter writer(pipe.write_end(), 2 * pipe_capacity);

  ASSERT_TRUE(writer.write_all(first).ok());
  Status flushed = writer.flush();
  ASSERT_FALSE(flushed.ok());
  EXPECT_EQ(flushed.error().message(), os_error(EAGAIN).message());
  const std::size_t left = writer.buffered_size();
  EXPECT_GT(left, 0u);
  EXPECT_LT(left, first.size());

  std::string seen = pipe.drain();
  EXPECT_EQ(seen.size() + left, first.size());
  ASSERT_TRUE(writer.write_all(second).ok());
  ASSERT_TRUE(writer.flush().ok());
  seen += pipe.drain();
  EXPECT_EQ(seen, first + second);
}

std::atomic<int> alarms{0};
void count_alarm(int) {
  alarms.fetch_add(1, std::memory_order_relaxed);
}

// Signals without SA_RESTART break blocking writes into pipes: write() then
// returns a short count, or fails with EINTR before any byte moved.
TEST(WriteToFd, SurvivesInterruptedAndShortWrites) {
  Pipe pipe;
  const std::string bytes = pattern(4 << 20);

  struct sigaction action = {};
  struct sigaction previous = {};
  action.sa_handler = count_alarm;
  sigemptyset(&action.sa_mask);
  ASSERT_EQ(::sigaction(SIGALRM, &action, &previous), 0);

  std::string received;
  std::thread reader([&] {
    sigset_t alarm_only;
    sigemptyset(&alarm_only);
    sigaddset(&alarm_only, SIGALRM);
    pthread_sigmask(SIG_BLOCK, &alarm_only, nullptr);
    char chunk[512];
    for (;;) {
      const ssize_t n = ::read(pipe.read_end(), chunk, sizeof chunk);
      if (n == 0) break;
      if (n < 0) {
        if (errno == EINTR) continue;
        break;
      }
      received.append(chunk, static_cast<std::size_t>(n));
      if (received.size() == bytes.size()) break;
    }
  });

  const itimerval every_100us = {{0, 100}, {0, 100}};
  ::setitimer(ITIMER_REAL, &every_100us, nullptr);
  std::size_t written = 0;
  const Status status = write_to_fd(pipe.write_end(), bytes, written);
  const itimerval off = {};
  ::setitimer(ITIMER_REAL, &off, nullptr);
  reader.join();
  ::sigaction(SIGALRM, &previous, nullptr);

  ASSERT_TRUE(status.ok()) << status.error().message();
  EXPECT_EQ(written, bytes.size());
  EXPECT_TRUE(received == bytes);
  EXPECT_GT(alarms.load(), 0);
}

// The process-wide writer sits on descriptor 1 and buffers until flushed.
TEST(StandardOutput, BuffersOnDescriptorOneUntilFlushed) {
  Pipe pipe;
  std::fflush(stdout);
  const int saved_stdout = ::dup(STDOUT_FILENO);
  ASSERT_GE(saved_stdout, 0);
  ASSERT_EQ(::dup2(pipe.write_end(), STDOUT_FILENO), STDOUT_FILENO);

  ByteOutput& output = standard_output();
  const Status written = output.write_all("\x1b_Ga=d,d=A,q=2\x1b\\");
  const std::string before_flush = pipe.drain();
  const Status flushed = flush_standard_output();
  const std::string after_flush = pipe.drain();

  ::dup2(saved_stdout, STDOUT_FILENO);
  ::close(saved_stdout);
  EXPECT_EQ(&output, &standard_output());
  ASSERT_TRUE(written.ok());
  ASSERT_TRUE(flushed.ok());
  EXPECT_EQ(before_flush, "");
  EXPECT_EQ(after_flush, "\x1b_Ga=d,d=A,q=2\x1b\\");
}

}  // namespace
}  // namespace facetview
