#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "surface/fd_writer.hpp"
#include "surface/terminal_surface.hpp"

namespace facetview {
namespace {

using Q = Quality;
constexpr std::string_view delete_all = "\x1b_Ga=d,d=A,q=2\x1b\\";

TEST(Quality, NamesAreExactAndCaseSensitive) {
  const std::optional<Q> none;
  const std::pair<std::string_view, std::optional<Q>> cases[] = {
      {"low", Q::low},  {"med", Q::medium}, {"medium", Q::medium}, {"high", Q::high},
      {"Medium", none}, {"HIGH", none},     {" low", none},        {"low ", none},
      {"", none},       {"ultra", none},    {"mediu", none},       {"medium2", none}};
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

struct MemoryOutput final : ByteOutput {
  Status write_all(std::string_view written) override {
    bytes.append(written);
    return Status::success();
  }
  Status flush() override {
    ++flushes;
    return Status::success();
  }
  std::string bytes;
  int flushes = 0;
};

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
       {Step{Q::medium, terminal, delete_all, 1}, Step{Q::medium, terminal, "", 0},
        Step{Q::high, terminal, delete_all, 1}, Step{Q::high, terminal, "", 0},
        Step{Q::low, {3, 4, 1, 1}, delete_all, 1}, Step{Q::low, {0, 0, 200, 50}, delete_all, 1},
        Step{Q::medium, {5, 5, 0, 0}, delete_all, 0}}) {
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

TEST_F(TerminalSurfaceTest, OutputFailureIsReturnedUnchangedAndTheFrameResent) {
  const int fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  if (fd < 0) GTEST_SKIP() << "no /dev/full";
  for (const std::size_t capacity : {16, 1 << 24}) {  // fails on a write, then on the flush
    FdWriter full(fd, capacity);
    const Result<PresentedFrame> frame = present(full, terminal);
    ASSERT_FALSE(frame.ok());
    EXPECT_EQ(frame.error().message(), "No space left on device (os error 28)");
    EXPECT_EQ(frame.error().cause(), nullptr);
  }
  ::close(fd);
  expect_frame(terminal);
  EXPECT_EQ(output.flushes, 1);  // tiles went out again
}

std::string drain(int fd) {
  std::string bytes(1 << 20, '\0');
  bytes.resize(static_cast<std::size_t>(std::max<ssize_t>(::read(fd, bytes.data(), 1 << 20), 0)));
  return bytes;
}

TEST(FdWriter, EmptiesTheBufferOnlyWhenItMust) {
  int fd[2];
  ASSERT_EQ(::pipe2(fd, O_NONBLOCK), 0);
  FdWriter writer(fd[1], 4);
  // Written bytes, what reaches the pipe meanwhile, bytes held after.
  using Step = std::tuple<std::string_view, std::string_view, std::size_t>;
  for (const auto& [bytes, reaches, held] :
       {Step{"", "", 0}, Step{"abcd", "", 4},                      // exactly full fits
        Step{"e", "abcd", 1}, Step{"fgh", "", 4},                  // flushes first; fills up
        Step{"ijklm", "efghijklm", 0}, Step{"nopqr", "nopqr", 0},  // larger: direct
        Step{"x", "", 1}, Step{"a\nb\nc", "xa\nb\n", 1}, Step{"d\n", "cd\n", 0}}) {
    ASSERT_TRUE(writer.write_all(bytes).ok());
    EXPECT_EQ(drain(fd[0]), reaches) << bytes;
    EXPECT_EQ(writer.buffered_size(), held) << bytes;
  }
  ::close(fd[0]);
  ::close(fd[1]);
}

// A full non-blocking pipe takes part of a flush: the rest stays at the front, in order.
TEST(FdWriter, PartlyFlushedBytesStayInOrder) {
  int fd[2];
  ASSERT_EQ(::pipe2(fd, O_NONBLOCK), 0);
  std::string first;
  while (first.size() < std::size_t(::fcntl(fd[1], F_GETPIPE_SZ)) + 5000)
    first += std::to_string(first.size()) + ",";
  FdWriter writer(fd[1], 2 * first.size());
  ASSERT_TRUE(writer.write_all(first).ok());
  EXPECT_EQ(writer.flush().error().message(), os_error(EAGAIN).message());
  std::string seen = drain(fd[0]);
  EXPECT_EQ(seen.size() + writer.buffered_size(), first.size());
  ASSERT_TRUE(writer.write_all("tail").ok());
  ASSERT_TRUE(writer.flush().ok());
  EXPECT_EQ(seen + drain(fd[0]), first + "tail");
  ::close(fd[0]);
  ::close(fd[1]);
}

}  // namespace
}  // namespace facetview
