#include "kitty/presenter.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "common/worker_pool.hpp"
#include "kitty/base64.hpp"
#include "kitty/sequences.hpp"
#include "support/memory_output.hpp"

namespace facetview {
namespace {

using namespace std::literals;
using std::to_string;
using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

constexpr std::int32_t kZ0 = -1000000000;
constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const std::string kDeleteAll = "G:a=d,d=A,q=2";
const Viewport kExample{2, 1, 10, 5};  // cells of 4 x 8 pixels in a 40 x 40 frame

struct Frame {
  std::uint32_t width, height;
  Bytes bytes;
};

// A smooth picture (rows repeat in fours) whose tiles each fit one chunk with
// any deflate coder, or noise that does not.
Frame make_frame(std::uint32_t width, std::uint32_t height, int tint = 0, bool noise = false) {
  Frame frame{width, height, Bytes(std::size_t{width} * height * 4)};
  std::mt19937 random(11);
  for (std::size_t i = 0; i < frame.bytes.size(); ++i) {
    const std::size_t smooth = i % 4 == 0 ? i / 4 % width * 2 + tint : i / 4 / width / 4;
    frame.bytes[i] = static_cast<std::uint8_t>(noise ? random() : smooth);
  }
  return frame;
}

// Each graphics command as "G:" and its keys, each cursor position as "CUP:",
// and every image sent, decoded from Base64, then from a level-1 zlib stream.
std::pair<Strings, std::vector<Bytes>> read_transcript(std::string_view bytes) {
  Strings sequences;
  std::vector<Bytes> images;
  Bytes stream;
  std::uint32_t bits = 0, count = 0;
  for (std::size_t end = 0; !bytes.empty(); bytes.remove_prefix(end)) {
    if (bytes.starts_with("\x1b_G") && (end = bytes.find("\x1b\\")) != std::string::npos) {
      const std::string_view body = bytes.substr(3, end - 3), keys = body.substr(0, body.find(';'));
      sequences.push_back("G:" + std::string(keys));
      end += 2;
      for (const char c : body.substr(std::min(keys.size() + 1, body.size()))) {
        if (c == '=') continue;
        EXPECT_NE(kAlphabet.find(c), std::string_view::npos) << c;
        bits = bits << 6 | static_cast<std::uint32_t>(kAlphabet.find(c));
        if ((count += 6) >= 8) stream.push_back(static_cast<std::uint8_t>(bits >> (count -= 8)));
      }
      if (!keys.ends_with("m=0")) continue;
      count = 0;
      EXPECT_TRUE(stream.size() > 2 && stream[1] >> 6 == 0) << "not level 1";
      uLongf size = 1 << 16;
      images.emplace_back(size);
      EXPECT_EQ(uncompress(images.back().data(), &size, stream.data(), stream.size()), Z_OK);
      images.back().resize(size);
      stream.clear();
    } else if (bytes.starts_with("\x1b[") && (end = bytes.find('H')) != std::string::npos) {
      sequences.push_back("CUP:" + std::string(bytes.substr(2, end++ - 2)));
    } else {
      ADD_FAILURE() << "stray bytes after " << sequences.size() << " sequences";
      break;
    }
  }
  EXPECT_TRUE(stream.empty()) << "transmission left open";
  return {sequences, images};
}

struct Rect {
  std::uint32_t x, y, width, height;
  int col, row, cols, rows;  // in cells, from the viewport's top-left cell
  Bytes pixels;
};

// The tiles of a cell-aligned frame, row-major, at most 8 x 4 cells each.
std::vector<Rect> tiles_of(const Frame& frame, Viewport v) {
  const std::uint32_t cw = frame.width / std::max(v.cols, std::uint16_t{1}),
                      ch = frame.height / std::max(v.rows, std::uint16_t{1});
  std::vector<Rect> tiles;
  for (int row = 0; row < v.rows; row += 4) {
    for (int col = 0; col < v.cols; col += 8) {
      const int cols = std::min(8, v.cols - col), rows = std::min(4, v.rows - row);
      Rect t{col * cw, row * ch, cols * cw, rows * ch, col, row, cols, rows, {}};
      for (std::uint32_t y = t.y; y < t.y + t.height; ++y) {
        const auto start = frame.bytes.begin() + (std::size_t{y} * frame.width + t.x) * 4;
        t.pixels.insert(t.pixels.end(), start, start + t.width * 4);
      }
      tiles.push_back(t);
    }
  }
  return tiles;
}

using Ids = std::function<std::pair<int, int>(int)>;  // tile index to new and old id; 0: none
const Ids kFirstIds = [](int i) { return std::pair(2 * i + 1, 0); };

class PresenterTest : public testing::Test {
 protected:
  std::string show(const Frame& frame, Viewport v = kExample, std::size_t fail_at_write = -1) {
    output = {};
    output.fail_at_write = fail_at_write;
    const Status status =
        presenter.present(output, frame.bytes, {frame.width, frame.height, v, {}});
    return status.ok() ? "ok" : status.error().message();
  }

  // Checks for the sequences in expected, then each tile that ids gives a new id
  // with its pixels and z counting up from z to the top, and one flush at the end.
  void expect_sent(const Frame& frame, Viewport v, Strings expected, const Ids& ids,
                   std::int64_t z) {
    std::vector<Bytes> images;
    for (int i = 0; const Rect& t : tiles_of(frame, v)) {
      const auto [id, old] = ids(i++);
      if (id == 0) continue;
      expected.push_back("G:a=t,q=2,i=" + to_string(id) + ",f=32,s=" + to_string(t.width) +
                         ",v=" + to_string(t.height) + ",o=z,m=0");
      expected.push_back("CUP:" + to_string(std::uint16_t(v.row + t.row + 1)) + ";" +
                         to_string(std::uint16_t(v.col + t.col + 1)));
      expected.push_back("G:a=p,q=2,i=" + to_string(id) + ",p=1,c=" + to_string(t.cols) +
                         ",r=" + to_string(t.rows) +
                         ",C=1,z=" + to_string(std::min<std::int64_t>(z++, 2147483647)));
      if (old != 0) expected.push_back("G:a=d,d=I,q=2,i=" + to_string(old));
      images.push_back(t.pixels);
    }
    EXPECT_EQ(read_transcript(output.bytes), std::pair(expected, images));
    EXPECT_EQ(std::pair(output.flushes, output.sent), std::pair(1, output.bytes.size()));
  }

  KittyPresenter presenter;
  MemoryOutput output;
};

TEST(Base64, EncodesTheRfc4648TestVectors) {
  const std::string_view encoded[] = {"",         "Zg==",     "Zm8=",    "Zm9v",
                                      "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  for (std::size_t n = 0; n <= 6; ++n) {
    std::string text = "stale text is replaced";
    base64_encode({reinterpret_cast<const std::uint8_t*>("foobar"), n}, text);
    EXPECT_EQ(text, encoded[n]);
    EXPECT_EQ(base64_encoded_size(n), encoded[n].size());
  }
}

TEST(Transmit, SplitsThePayloadInto4096CharacterChunks) {
  for (const std::size_t size : {1, 4096, 4097, 8193}) {
    std::string payload(size, ' ');
    for (std::size_t i = 0; i < size; ++i) payload[i] = kAlphabet[i * 7 % 64];
    MemoryOutput output;
    ASSERT_TRUE(write_transmit(output, 9, 40, 20, payload).ok());
    std::string expected = "\x1b_Ga=t,q=2,i=9,f=32,s=40,v=20,o=z,";
    for (std::size_t at = 0; at < size; at += 4096) {
      expected += (at == 0 ? "m="s : "\x1b_Gm="s) + (at + 4096 < size ? "1;" : "0;") +
                  payload.substr(at, 4096) + "\x1b\\";
    }
    EXPECT_EQ(output.bytes, expected) << size << " characters";
  }
}

// The worked example: four tiles, then nothing for the same frame; after
// clear() deleted every image the next frame is a first frame again.
TEST_F(PresenterTest, ShowsTheWorkedExampleAndResendsOnlyChangedTiles) {
  Frame frame = make_frame(40, 40);
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(show(frame), "ok");
    expect_sent(frame, kExample, {kDeleteAll}, kFirstIds, kZ0);
    ASSERT_EQ(show(frame), "ok");  // the identical frame writes nothing and does not flush
    EXPECT_EQ(output.writes + output.flushes, 0u);
    ASSERT_TRUE(presenter.clear(output).ok());
    EXPECT_EQ(output.bytes, "\x1b_Ga=d,d=A,q=2\x1b\\");
  }
  ASSERT_EQ(show(frame), "ok");
  // Pixels at two corners of each tile change in turn, tile 2 first: it goes to
  // image 6 with the next z, deleting 5, then back to 5, deleting 6.
  const int tiles[] = {2, 0, 1, 3}, corners[][2] = {{0, 39}, {31, 32}, {0, 0},   {31, 31},
                                                    {39, 0}, {32, 31}, {32, 32}, {39, 39}};
  for (int n = 0; n < 8; ++n) {
    frame.bytes[(corners[n][1] * 40 + corners[n][0]) * 4 + n % 4] ^= 0x80;
    ASSERT_EQ(show(frame), "ok");
    const int tile = tiles[n / 2], id = n % 2 == 0 ? 2 * tile + 2 : 2 * tile + 1;
    const Ids ids = [&](int i) { return std::pair(i == tile ? id : 0, 4 * tile + 3 - id); };
    expect_sent(frame, kExample, {}, ids, kZ0 + 4 + n);
  }
}

TEST_F(PresenterTest, RebuildsOnAnyChangeOfSizeOrViewport) {
  const std::tuple<std::uint32_t, std::uint32_t, Viewport, std::size_t> cases[] = {
      {80, 40, {2, 1, 10, 5}, 4},      {40, 80, {2, 1, 10, 5}, 4}, {40, 40, {3, 1, 10, 5}, 4},
      {40, 40, {2, 0, 10, 5}, 4},      {40, 40, {2, 1, 5, 5}, 2},  {40, 40, {2, 1, 10, 10}, 6},
      {81, 12, {0, 0, 81, 6}, 22},      // last column 1 cell wide, second row 2 cells high
      {8, 8, {65535, 65534, 2, 2}, 1},  // the cursor wraps at 16 bits
      {0, 0, {2, 1, 10, 5}, 4}};        // tiles without pixels
  for (const auto& [width, height, viewport, tiles] : cases) {
    SCOPED_TRACE(to_string(width) + "x" + to_string(height) + " at " + to_string(viewport.col));
    presenter = KittyPresenter();
    ASSERT_EQ(show(make_frame(40, 40)), "ok");
    const Frame frame = make_frame(width, height, 1);
    ASSERT_EQ(tiles_of(frame, viewport).size(), tiles);
    ASSERT_EQ(show(frame, viewport), "ok");
    expect_sent(frame, viewport, {kDeleteAll}, kFirstIds, kZ0);
  }
}

// An empty viewport is remembered without tiles and sends only the
// delete-all; an unaligned frame sends nothing and is not remembered: either
// way the next frame starts afresh. A frame of the wrong length (read out of
// bounds otherwise) sends nothing, and the last frame still counts as shown.
TEST_F(PresenterTest, EmptyViewportsOnlyDeleteAllAndRefusedFramesSendNothing) {
  using Case = std::tuple<std::string_view, std::uint32_t, std::uint32_t, Viewport, std::size_t>;
  const std::size_t fits = -1;  // the frame's own length
  for (const auto& [message, width, height, viewport, length] :
       {Case{"ok", 10, 12, {0, 0, 0, 4}, fits}, Case{"ok", 10, 12, {3, 3, 5, 0}, fits},
        Case{"framebuffer size 100x1 is not cell-aligned for viewport 30x1 cells", 100, 1,
             Viewport{0, 0, 30, 1}, fits},
        Case{"framebuffer size 40x41 is not cell-aligned for viewport 10x5 cells", 40, 41, kExample,
             fits},
        Case{"framebuffer size 10x10 is not cell-aligned for viewport 0x3 cells", 10, 10,
             Viewport{0, 0, 0, 3}, fits},
        Case{"frame of 6399 bytes does not match framebuffer size 40x40", 40, 40, kExample, 6399},
        Case{"frame of 6404 bytes does not match framebuffer size 40x40", 40, 40, kExample, 6404},
        Case{"frame of 16 bytes does not match framebuffer size 4294967295x4294967295", 4294967295u,
             4294967295u, kExample, 16},
        Case{"frame of 0 bytes does not match framebuffer size 2147483648x2147483648", 2147483648u,
             2147483648u, kExample, 0}}) {
    SCOPED_TRACE(message);
    presenter = KittyPresenter();
    const Frame frame = make_frame(40, 40);
    ASSERT_EQ(show(frame), "ok");
    const Frame other =
        length == fits ? make_frame(width, height) : Frame{width, height, Bytes(length)};
    const bool ok = message == "ok";
    for (int pass = 0; pass < 2; ++pass) {
      EXPECT_EQ(show(other, viewport), message);
      EXPECT_EQ(output.bytes, ok && pass == 0 ? "\x1b_Ga=d,d=A,q=2\x1b\\" : "");
      EXPECT_EQ(output.flushes, ok && pass == 0 ? 1 : 0);
    }
    ASSERT_EQ(show(frame), "ok");
    if (length != fits) {
      EXPECT_EQ(output.writes, 0u);
    } else {
      expect_sent(frame, kExample, {kDeleteAll}, kFirstIds, kZ0);
    }
  }
}

TEST(ImageRange, IdsAndZIndicesOfEachRangeStayApart) {
  constexpr std::uint32_t span = 1u << 16;
  const std::tuple<std::uint32_t, std::size_t, std::uint8_t, std::uint32_t> ids[] = {
      {0, 0, 0, 1},
      {0, 5, 1, 12},
      {0, span, 1, 2 * span + 2},  // the shared range is not wrapped
      {16, 0, 0, 16 * span + 1},
      {17, span / 2 - 1, 0, 17 * span + 1}};  // wraps onto its own ids
  for (const auto& [number, index, slot, id] : ids) {
    EXPECT_EQ(ImageRange(number).image_id(index, slot), id) << number << " " << index;
  }
  const std::tuple<std::uint32_t, std::int32_t, std::int32_t> z_ranges[] = {
      {0, kZ0, 2147483647},
      {1, kZ0 + (1 << 18), kZ0 + (1 << 19) - 1},
      {2049, kZ0 + (1 << 18), kZ0 + (1 << 19) - 1},  // z-indices repeat every 2048 ranges
      {2047, -463391232, -463129089}};
  for (const auto& [number, first, last] : z_ranges) {
    EXPECT_EQ(ImageRange(number).first_z(), first);
    EXPECT_EQ(ImageRange(number).last_z(), last);
  }
}

// A private range never deletes all: a fresh start and clear() delete both ids
// of every tile it may have shown, and nothing of anyone else's.
TEST_F(PresenterTest, PrivateRangeDrawsAndDeletesOnlyItsOwnImages) {
  const int base = 30 << 16;
  presenter = KittyPresenter(ImageRange(30));
  const auto deletions = [&](int tiles) {
    Strings deleted;
    for (int id = base + 1; id <= base + 2 * tiles; ++id) {
      deleted.push_back("G:a=d,d=I,q=2,i=" + to_string(id));
    }
    return deleted;
  };
  const Ids own_first = [&](int i) { return std::pair(base + 2 * i + 1, 0); };
  for (const auto& [frame, viewport, deleted] :
       {std::tuple(make_frame(40, 40), kExample, 0),
        std::tuple(make_frame(80, 40), Viewport{0, 0, 20, 5}, 4)}) {
    ASSERT_EQ(show(frame, viewport), "ok");
    expect_sent(frame, viewport, deletions(deleted), own_first, kZ0 + 30 * (1 << 18));
  }
  for (const int tiles : {6, 0}) {  // a second clear has nothing left to delete
    output = {};
    ASSERT_TRUE(presenter.clear(output).ok());
    EXPECT_EQ(read_transcript(output.bytes).first, deletions(tiles));
  }
}

// Fails each write of a first frame, of a rebuild and of an update frame in
// turn, then the flush: nothing of the failed frame stays behind, and since
// the terminal may hold any part of it, the next frame rebuilds the screen.
TEST_F(PresenterTest, OutputFailureDiscardsTheFrameAndTheNextRebuilds) {
  const Frame before = make_frame(40, 40, 3), frame = make_frame(40, 40);
  const Frame other_size = make_frame(80, 40, 3);
  // The frame shown before, if any, and the writes of the failing frame.
  const std::tuple<const Frame*, std::size_t, std::string_view> cases[] = {
      {nullptr, 13, "first"}, {&other_size, 13, "rebuild"}, {&before, 16, "update"}};
  for (const auto& [shown_before, writes, name] : cases) {
    for (std::size_t fail_at = 0; fail_at <= writes; ++fail_at) {
      SCOPED_TRACE(std::string(name) + ", write " + to_string(fail_at));
      presenter = KittyPresenter();
      ASSERT_EQ(shown_before ? show(*shown_before) : "ok", "ok");
      EXPECT_EQ(show(frame, kExample, fail_at),
                fail_at == writes ? "flush failed" : "write failed");
      EXPECT_EQ(output.bytes, "");
      ASSERT_EQ(show(frame), "ok");
      expect_sent(frame, kExample, {kDeleteAll}, kFirstIds, kZ0);
    }
  }
}

// Tiles compressed on several threads go out in the order and with the bytes
// of one thread: a rebuild, a frame with a few changed tiles, and noise.
TEST(PresenterThreads, BytesAreThoseOfOneThread) {
  const Viewport wide{0, 0, 70, 21};  // 9 x 6 tiles of cells of 4 x 8 pixels
  Frame changed = make_frame(280, 168);
  for (std::size_t i = 0; i < changed.bytes.size(); i += 9973) changed.bytes[i] ^= 0x55;
  const std::vector<Frame> frames{make_frame(280, 168), changed, make_frame(280, 168, 0, true)};
  const auto transcript = [&](std::size_t threads) {
    set_thread_count(threads);
    KittyPresenter presenter;
    std::string bytes;
    for (const Frame& frame : frames) {
      MemoryOutput output;
      EXPECT_TRUE(presenter.present(output, frame.bytes, {frame.width, frame.height, wide, {}}));
      bytes += output.bytes + "|";
    }
    return bytes;
  };
  const std::string one = transcript(1);
  for (const std::size_t threads : {2, 8}) EXPECT_EQ(transcript(threads), one) << threads;
  set_thread_count(0);
}

}  // namespace
}  // namespace facetview
