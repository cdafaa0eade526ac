#include "kitty/presenter.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

#include "kitty/base64.hpp"
#include "recording_output.hpp"
#include "transcript.hpp"

namespace facetview {

// Reaches the z-index directly: saturation would otherwise take billions of
// placements.
class PresenterTestPeer {
 public:
  static void set_next_z(Presenter& presenter, std::int32_t z) { presenter.next_z_ = z; }
};

namespace {

using Strings = std::vector<std::string>;

constexpr std::int32_t z0 = Presenter::initial_z;
const std::string delete_all = "G:a=d,d=A,q=2";

struct Frame {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> bytes;

  std::uint8_t* pixel(std::uint32_t x, std::uint32_t y) {
    return bytes.data() + (std::size_t{y} * width + x) * 4;
  }
};

// A smooth picture, so that each tile's payload fits one chunk.
Frame gradient_frame(std::uint32_t width, std::uint32_t height, std::uint8_t tint = 0) {
  Frame frame{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 4)};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      std::uint8_t* p = frame.pixel(x, y);
      p[0] = static_cast<std::uint8_t>(x / 4 * 8 + tint);
      p[1] = static_cast<std::uint8_t>(y / 4 * 8);
      p[2] = 128;
      p[3] = 255;
    }
  }
  return frame;
}

Frame noise_frame(std::uint32_t width, std::uint32_t height) {
  Frame frame{width, height, std::vector<std::uint8_t>(std::size_t{width} * height * 4)};
  std::mt19937 random(11);
  for (std::uint8_t& byte : frame.bytes) byte = static_cast<std::uint8_t>(random());
  return frame;
}

Status present(Presenter& presenter, RecordingOutput& output, const Frame& frame,
               Viewport viewport) {
  return presenter.present_rgba(output, frame.bytes, frame.width, frame.height, viewport);
}

// The sequences that send a tile as image id; delete_id 0 means none. Screen
// positions are 16-bit and wrap.
Strings tile_update(const Tile& tile, std::uint32_t id, std::int32_t z, std::uint32_t delete_id) {
  Strings sequences = {
      "G:a=t,q=2,i=" + std::to_string(id) + ",f=32,s=" + std::to_string(tile.pixel_width) +
          ",v=" + std::to_string(tile.pixel_height) + ",o=z,m=0",
      "CUP:" + std::to_string(std::uint16_t(tile.viewport_row + tile.cell_row + 1)) + ";" +
          std::to_string(std::uint16_t(tile.viewport_col + tile.cell_col + 1)),
      "G:a=p,q=2,i=" + std::to_string(id) + ",p=1,c=" + std::to_string(tile.cell_cols) +
          ",r=" + std::to_string(tile.cell_rows) + ",C=1,z=" + std::to_string(z)};
  if (delete_id != 0) sequences.push_back("G:a=d,d=I,q=2,i=" + std::to_string(delete_id));
  return sequences;
}

void append(Strings& to, const Strings& more) {
  to.insert(to.end(), more.begin(), more.end());
}

std::string zlib_base64(std::span<const std::uint8_t> pixels) {
  std::vector<std::uint8_t> compressed(compressBound(pixels.size()));
  uLongf size = compressed.size();
  EXPECT_EQ(compress2(compressed.data(), &size, pixels.data(), pixels.size(), 1), Z_OK);
  compressed.resize(size);
  std::string text;
  base64_encode(compressed, text);
  return text;
}

std::size_t count_of(std::string_view haystack, std::string_view needle) {
  std::size_t count = 0;
  for (std::size_t at = haystack.find(needle); at != std::string_view::npos;
       at = haystack.find(needle, at + 1)) {
    ++count;
  }
  return count;
}

// The worked example: cells of 4 x 8 pixels, a grid of 2 x 2 tiles.
const Viewport example_viewport{2, 1, 10, 5};
Frame example_frame() {
  return gradient_frame(40, 40);
}

struct WholeOutputStep {
  std::uint8_t tint;         // the frame of this step
  std::string_view control;  // expected transmit control, empty when nothing is sent
  std::string_view tail;     // expected bytes after the payload
};

// One tile at cell (5, 3); frames alternate so that the tile flips between its
// two ids, then repeats a frame to send nothing.
TEST(Presenter, WritesExactBytesFrameAfterFrame) {
  const Viewport viewport{4, 2, 1, 1};
  const WholeOutputStep steps[] = {
      {0, "\x1b_Ga=t,q=2,i=1,f=32,s=3,v=2,o=z,m=0;",
       "\x1b\\\x1b[3;5H\x1b_Ga=p,q=2,i=1,p=1,c=1,r=1,C=1,z=-1000000000\x1b\\"},
      {1, "\x1b_Ga=t,q=2,i=2,f=32,s=3,v=2,o=z,m=0;",
       "\x1b\\\x1b[3;5H\x1b_Ga=p,q=2,i=2,p=1,c=1,r=1,C=1,z=-999999999\x1b\\"
       "\x1b_Ga=d,d=I,q=2,i=1\x1b\\"},
      {1, "", ""},
      {2, "\x1b_Ga=t,q=2,i=1,f=32,s=3,v=2,o=z,m=0;",
       "\x1b\\\x1b[3;5H\x1b_Ga=p,q=2,i=1,p=1,c=1,r=1,C=1,z=-999999998\x1b\\"
       "\x1b_Ga=d,d=I,q=2,i=2\x1b\\"},
  };
  Presenter presenter;
  for (std::size_t step = 0; step < std::size(steps); ++step) {
    const Frame frame = gradient_frame(3, 2, steps[step].tint);
    RecordingOutput output;
    ASSERT_TRUE(present(presenter, output, frame, viewport).ok());
    std::string expected(step == 0 ? Presenter::delete_all_sequence : "");
    if (!steps[step].control.empty()) {
      expected += std::string(steps[step].control) + zlib_base64(frame.bytes) +
                  std::string(steps[step].tail);
    }
    EXPECT_EQ(output.bytes, expected) << "step " << step;
    EXPECT_EQ(output.flushed_at, expected.empty() ? std::vector<std::size_t>{}
                                                  : std::vector<std::size_t>{expected.size()});
  }
}

struct ExampleTile {
  std::uint32_t id;
  std::string_view transmit, cursor, place;
};

TEST(Presenter, SendsTheWorkedExampleTilesInIndexOrder) {
  const ExampleTile expected[] = {
      {1, "G:a=t,q=2,i=1,f=32,s=32,v=32,o=z,m=0", "CUP:2;3",
       "G:a=p,q=2,i=1,p=1,c=8,r=4,C=1,z=-1000000000"},
      {3, "G:a=t,q=2,i=3,f=32,s=8,v=32,o=z,m=0", "CUP:2;11",
       "G:a=p,q=2,i=3,p=1,c=2,r=4,C=1,z=-999999999"},
      {5, "G:a=t,q=2,i=5,f=32,s=32,v=8,o=z,m=0", "CUP:6;3",
       "G:a=p,q=2,i=5,p=1,c=8,r=1,C=1,z=-999999998"},
      {7, "G:a=t,q=2,i=7,f=32,s=8,v=8,o=z,m=0", "CUP:6;11",
       "G:a=p,q=2,i=7,p=1,c=2,r=1,C=1,z=-999999997"},
  };
  Presenter presenter;
  RecordingOutput output;
  Frame frame = example_frame();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());

  Strings sequences = {delete_all};
  for (const ExampleTile& tile : expected) {
    sequences.insert(sequences.end(), {std::string(tile.transmit), std::string(tile.cursor),
                                       std::string(tile.place)});
  }
  const Transcript transcript = read_transcript(output.bytes);
  EXPECT_EQ(transcript.sequences, sequences);
  ASSERT_EQ(transcript.payloads.size(), 4u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(decode_payload(transcript.payloads[i]), crop(frame.bytes, 40, presenter.tiles()[i]));
  }
  EXPECT_EQ(output.flushed_at, std::vector<std::size_t>{output.bytes.size()});
  EXPECT_EQ(presenter.next_z(), -999999996);

  // Only tile 2 changes: image 6 goes above image 5, which is then deleted;
  // the next change of tile 2 flips back to image 5.
  const Strings updates[] = {
      {"G:a=t,q=2,i=6,f=32,s=32,v=8,o=z,m=0", "CUP:6;3",
       "G:a=p,q=2,i=6,p=1,c=8,r=1,C=1,z=-999999996", "G:a=d,d=I,q=2,i=5"},
      {"G:a=t,q=2,i=5,f=32,s=32,v=8,o=z,m=0", "CUP:6;3",
       "G:a=p,q=2,i=5,p=1,c=8,r=1,C=1,z=-999999995", "G:a=d,d=I,q=2,i=6"},
  };
  for (const Strings& update : updates) {
    frame.pixel(5, 35)[1] ^= 0x80;
    output.clear();
    ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
    const Transcript next = read_transcript(output.bytes);
    EXPECT_EQ(next.sequences, update);
    ASSERT_EQ(next.payloads.size(), 1u);
    EXPECT_EQ(decode_payload(next.payloads[0]), crop(frame.bytes, 40, presenter.tiles()[2]));
    EXPECT_EQ(output.flushed_at.size(), 1u);
  }
}

TEST(Presenter, IdenticalFrameWritesNothingAndDoesNotFlush) {
  Presenter presenter;
  RecordingOutput output;
  const Frame frame = example_frame();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  const std::int32_t z = presenter.next_z();
  output.clear();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  EXPECT_EQ(output.write_calls, 0u);
  EXPECT_TRUE(output.flushed_at.empty());
  EXPECT_EQ(presenter.next_z(), z);
}

struct PixelChange {
  std::uint32_t x, y;
  std::size_t tile;
};

class PresenterPixelChange : public testing::TestWithParam<PixelChange> {};

TEST_P(PresenterPixelChange, ResendsOnlyTheTileHoldingThePixel) {
  Presenter presenter;
  RecordingOutput output;
  Frame frame = example_frame();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  frame.pixel(GetParam().x, GetParam().y)[3] = 0;
  output.clear();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());

  const std::size_t i = GetParam().tile;
  const Tile& tile = presenter.tiles()[i];
  EXPECT_EQ(read_transcript(output.bytes).sequences,
            tile_update(tile, tile_image_id(i, 1), z0 + 4, tile_image_id(i, 0)));
  EXPECT_TRUE(tile.shown);
  EXPECT_EQ(tile.slot, 1);
}

INSTANTIATE_TEST_SUITE_P(Corners, PresenterPixelChange,
                         testing::Values(PixelChange{0, 0, 0}, PixelChange{31, 31, 0},
                                         PixelChange{32, 0, 1}, PixelChange{39, 31, 1},
                                         PixelChange{0, 32, 2}, PixelChange{31, 39, 2},
                                         PixelChange{32, 32, 3}, PixelChange{39, 39, 3}));

struct RebuildCase {
  std::string_view what;
  std::uint32_t width, height;
  Viewport viewport;
};

class PresenterRebuild : public testing::TestWithParam<RebuildCase> {};

TEST_P(PresenterRebuild, DeletesAllAndResendsEveryTileFromTheStart) {
  Presenter presenter;
  RecordingOutput output;
  ASSERT_TRUE(present(presenter, output, example_frame(), example_viewport).ok());
  const Frame frame = example_frame();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());  // nothing changed

  const Frame changed = gradient_frame(GetParam().width, GetParam().height);
  output.clear();
  ASSERT_TRUE(present(presenter, output, changed, GetParam().viewport).ok());

  Strings expected = {delete_all};
  const std::span<const Tile> tiles = presenter.tiles();
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    append(expected, tile_update(tiles[i], tile_image_id(i, 0), z0 + static_cast<int>(i), 0));
  }
  const Transcript transcript = read_transcript(output.bytes);
  EXPECT_EQ(transcript.sequences, expected);
  ASSERT_EQ(transcript.payloads.size(), tiles.size());
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    EXPECT_EQ(decode_payload(transcript.payloads[i]), crop(changed.bytes, changed.width, tiles[i]));
  }
  EXPECT_EQ(output.flushed_at.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Changes, PresenterRebuild,
                         testing::Values(RebuildCase{"width", 80, 40, {2, 1, 10, 5}},
                                         RebuildCase{"height", 40, 80, {2, 1, 10, 5}},
                                         RebuildCase{"col", 40, 40, {3, 1, 10, 5}},
                                         RebuildCase{"row", 40, 40, {2, 0, 10, 5}},
                                         RebuildCase{"cols", 40, 40, {2, 1, 5, 5}},
                                         RebuildCase{"rows", 40, 40, {2, 1, 10, 10}},
                                         RebuildCase{"grid_81_by_6", 81, 12, {0, 0, 81, 6}},
                                         RebuildCase{"wrapping_cursor", 8, 8, {65535, 65534, 2, 2}},
                                         RebuildCase{"no_pixels", 0, 0, {2, 1, 10, 5}}),
                         [](const testing::TestParamInfo<RebuildCase>& info) {
                           return std::string(info.param.what);
                         });

TEST(Presenter, NoisyTilesTravelInSeveralChunksAndDecodeIntact) {
  Presenter presenter;
  RecordingOutput output;
  const Frame frame = noise_frame(40, 40);
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  const Transcript transcript = read_transcript(output.bytes);
  ASSERT_EQ(transcript.payloads.size(), 4u);
  EXPECT_GT(transcript.payloads[0].size(), 4096u) << "tile 0 should need a second chunk";
  EXPECT_NE(std::find(transcript.sequences.begin(), transcript.sequences.end(), "G:m=0"),
            transcript.sequences.end());
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(decode_payload(transcript.payloads[i]), crop(frame.bytes, 40, presenter.tiles()[i]));
  }
}

class PresenterEmptyViewport : public testing::TestWithParam<Viewport> {};

TEST_P(PresenterEmptyViewport, OnlyDeletesAllWithoutFlushing) {
  Presenter presenter;
  RecordingOutput output;
  const Frame frame = gradient_frame(10, 12);
  ASSERT_TRUE(present(presenter, output, frame, GetParam()).ok());
  EXPECT_EQ(output.bytes, Presenter::delete_all_sequence);
  EXPECT_TRUE(output.flushed_at.empty());
  EXPECT_TRUE(presenter.has_frame_state());
  EXPECT_TRUE(presenter.tiles().empty());

  output.clear();
  ASSERT_TRUE(present(presenter, output, frame, GetParam()).ok());
  EXPECT_EQ(output.write_calls, 0u);
}

INSTANTIATE_TEST_SUITE_P(ZeroSized, PresenterEmptyViewport,
                         testing::Values(Viewport{0, 0, 0, 4}, Viewport{3, 3, 5, 0},
                                         Viewport{0, 0, 0, 0}));

struct AlignmentCase {
  std::uint32_t width, height;
  Viewport viewport;
  std::string_view message;
};

class PresenterCellAlignment : public testing::TestWithParam<AlignmentCase> {};

TEST_P(PresenterCellAlignment, FailsAfterDeletingAll) {
  Presenter presenter;
  RecordingOutput output;
  ASSERT_TRUE(present(presenter, output, example_frame(), example_viewport).ok());
  output.clear();
  const Frame frame = gradient_frame(GetParam().width, GetParam().height);
  const Status status = present(presenter, output, frame, GetParam().viewport);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message(), GetParam().message);
  EXPECT_EQ(output.bytes, Presenter::delete_all_sequence);
  EXPECT_TRUE(output.flushed_at.empty());
  EXPECT_FALSE(presenter.has_frame_state());
  EXPECT_EQ(presenter.next_z(), z0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, PresenterCellAlignment,
    testing::Values(
        AlignmentCase{100,
                      40,
                      {0, 0, 30, 5},
                      "framebuffer size 100x40 is not cell-aligned for viewport 30x5 cells"},
        AlignmentCase{40,
                      41,
                      {2, 1, 10, 5},
                      "framebuffer size 40x41 is not cell-aligned for viewport 10x5 cells"},
        AlignmentCase{10,
                      10,
                      {0, 0, 0, 3},
                      "framebuffer size 10x10 is not cell-aligned for viewport 0x3 cells"}));

struct FrameLengthCase {
  std::size_t length;
  std::uint32_t width, height;
  std::string_view message;
};

class PresenterFrameLength : public testing::TestWithParam<FrameLengthCase> {};

// A frame that does not hold width x height pixels would be read out of
// bounds; it is refused before anything is written.
TEST_P(PresenterFrameLength, IsRefusedWithoutWritingOrChangingState) {
  Presenter presenter;
  RecordingOutput output;
  ASSERT_TRUE(present(presenter, output, example_frame(), example_viewport).ok());
  const std::vector<Tile> tiles(presenter.tiles().begin(), presenter.tiles().end());
  const std::int32_t z = presenter.next_z();
  output.clear();

  const std::vector<std::uint8_t> bytes(GetParam().length, 7);
  const Status status =
      presenter.present_rgba(output, bytes, GetParam().width, GetParam().height, example_viewport);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message(), GetParam().message);
  EXPECT_EQ(output.write_calls, 0u);
  EXPECT_TRUE(
      std::equal(tiles.begin(), tiles.end(), presenter.tiles().begin(), presenter.tiles().end()));
  EXPECT_EQ(presenter.next_z(), z);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, PresenterFrameLength,
    testing::Values(
        FrameLengthCase{40 * 40 * 4 - 1, 40, 40,
                        "frame of 6399 bytes does not match framebuffer size 40x40"},
        FrameLengthCase{40 * 40 * 4 + 4, 40, 40,
                        "frame of 6404 bytes does not match framebuffer size 40x40"},
        FrameLengthCase{0, 40, 40, "frame of 0 bytes does not match framebuffer size 40x40"},
        FrameLengthCase{16, 4294967295u, 4294967295u,
                        "frame of 16 bytes does not match framebuffer size 4294967295x4294967295"},
        FrameLengthCase{4, 2147483648u, 2147483648u,
                        "frame of 4 bytes does not match framebuffer size 2147483648x2147483648"}));

TEST(Presenter, ZIndexSaturatesAtTheTop) {
  Presenter presenter;
  RecordingOutput output;
  ASSERT_TRUE(present(presenter, output, example_frame(), example_viewport).ok());
  PresenterTestPeer::set_next_z(presenter, 2147483646);
  output.clear();
  ASSERT_TRUE(present(presenter, output, gradient_frame(40, 40, 1), example_viewport).ok());

  const std::int32_t expected_z[] = {2147483646, 2147483647, 2147483647, 2147483647};
  Strings expected;
  for (std::size_t i = 0; i < 4; ++i) {
    append(expected, tile_update(presenter.tiles()[i], tile_image_id(i, 1), expected_z[i],
                                 tile_image_id(i, 0)));
  }
  EXPECT_EQ(read_transcript(output.bytes).sequences, expected);
  EXPECT_EQ(presenter.next_z(), 2147483647);
}

TEST(Presenter, ResetMakesTheNextFrameAFirstFrame) {
  const Frame frame = example_frame();
  Presenter fresh;
  RecordingOutput first;
  ASSERT_TRUE(present(fresh, first, frame, example_viewport).ok());

  Presenter presenter;
  RecordingOutput output;
  ASSERT_TRUE(present(presenter, output, gradient_frame(40, 40, 9), example_viewport).ok());
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  output.clear();
  presenter.reset();
  EXPECT_FALSE(presenter.has_frame_state());
  EXPECT_EQ(presenter.next_z(), z0);
  EXPECT_EQ(output.write_calls, 0u);

  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  EXPECT_EQ(output.bytes, first.bytes);
  EXPECT_EQ(output.flushed_at, first.flushed_at);
}

enum class FailingFrame { first, update };

class PresenterWriteFailure : public testing::TestWithParam<FailingFrame> {};

// Fails each write of a frame in turn: the tiles sent before the failure keep
// their new ids, the one being sent keeps its old one, and since the frame
// was not stored the next call sends every tile of it again.
TEST_P(PresenterWriteFailure, KeepsTheTilesSentAndResendsOnTheNextCall) {
  const bool update = GetParam() == FailingFrame::update;
  const Frame before = gradient_frame(40, 40, 3);
  const Frame frame = example_frame();

  std::size_t frame_writes = 0;
  {
    Presenter presenter;
    RecordingOutput output;
    if (update) {
      ASSERT_TRUE(present(presenter, output, before, example_viewport).ok());
    }
    output.clear();
    ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
    frame_writes = output.write_calls;
  }

  for (std::size_t fail_at = 0; fail_at < frame_writes; ++fail_at) {
    SCOPED_TRACE("failing write " + std::to_string(fail_at));
    Presenter presenter;
    RecordingOutput output;
    if (update) {
      ASSERT_TRUE(present(presenter, output, before, example_viewport).ok());
    }
    output.clear();
    output.fail_at_write = fail_at;
    const Status status = present(presenter, output, frame, example_viewport);
    ASSERT_FALSE(status.ok());
    EXPECT_EQ(status.error().message(), RecordingOutput::write_failure);
    EXPECT_TRUE(output.flushed_at.empty());
    if (!update && fail_at == 0) {
      EXPECT_FALSE(presenter.has_frame_state()) << "failed delete-all changes nothing";
      continue;
    }

    // A tile counts as sent once its last sequence is out.
    const std::size_t sent = count_of(output.bytes, update ? "a=d,d=I" : "a=p,");
    const std::int32_t start_z = update ? z0 + 4 : z0;
    EXPECT_EQ(presenter.next_z(), start_z + static_cast<std::int32_t>(sent));
    const std::vector<Tile> tiles(presenter.tiles().begin(), presenter.tiles().end());
    ASSERT_EQ(tiles.size(), 4u);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      EXPECT_EQ(tiles[i].shown, update || i < sent) << "tile " << i;
      EXPECT_EQ(tiles[i].slot, update && i < sent ? 1 : 0) << "tile " << i;
    }

    RecordingOutput retry;
    ASSERT_TRUE(present(presenter, retry, frame, example_viewport).ok());
    Strings expected;
    for (std::size_t i = 0; i < tiles.size(); ++i) {
      const std::uint8_t new_slot = tiles[i].shown && tiles[i].slot == 0 ? 1 : 0;
      append(expected, tile_update(tiles[i], tile_image_id(i, new_slot),
                                   presenter.next_z() - 4 + static_cast<std::int32_t>(i),
                                   tiles[i].shown ? tile_image_id(i, tiles[i].slot) : 0));
    }
    EXPECT_EQ(read_transcript(retry.bytes).sequences, expected);
    EXPECT_EQ(retry.flushed_at.size(), 1u);
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, PresenterWriteFailure,
                         testing::Values(FailingFrame::first, FailingFrame::update));

TEST(Presenter, FailedDeleteAllLeavesTheFrameStateInPlace) {
  Presenter presenter;
  RecordingOutput output;
  const Frame frame = example_frame();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  const std::int32_t z = presenter.next_z();

  RecordingOutput failing;
  failing.fail_at_write = 0;
  const Status status = present(presenter, failing, gradient_frame(80, 40), example_viewport);
  ASSERT_FALSE(status.ok());
  EXPECT_TRUE(failing.bytes.empty());
  EXPECT_EQ(presenter.next_z(), z);
  ASSERT_EQ(presenter.tiles().size(), 4u);
  EXPECT_TRUE(presenter.tiles()[3].shown);

  output.clear();
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  EXPECT_EQ(output.write_calls, 0u) << "the old frame still counts as presented";
}

TEST(Presenter, FlushFailureIsReportedAfterEveryTileWasWritten) {
  Presenter presenter;
  RecordingOutput output;
  output.fail_flush = true;
  const Frame frame = example_frame();
  const Status status = present(presenter, output, frame, example_viewport);
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.error().message(), RecordingOutput::flush_failure);
  EXPECT_EQ(count_of(output.bytes, "a=p,"), 4u);
  EXPECT_EQ(presenter.next_z(), z0 + 4);

  // The unflushed frame never counted as shown: presenting it again re-sends it.
  output.clear();
  output.fail_flush = false;
  ASSERT_TRUE(present(presenter, output, frame, example_viewport).ok());
  EXPECT_EQ(count_of(output.bytes, "a=p,"), 4u);
  EXPECT_EQ(count_of(output.bytes, "a=d,d=I,"), 4u);
}

}  // namespace
}  // namespace facetview
