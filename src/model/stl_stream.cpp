#include "model/stl_stream.hpp"

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <utility>

#include "model/ascii_stl.hpp"
#include "model/binary_stl.hpp"

namespace facetview {
namespace {

// 10000 binary records, 500 kB: large enough to make system calls rare,
// small enough to stay in the cache while it is decoded.
constexpr std::size_t kBlockSize = 10000 * kBinaryStlRecordSize;
// The shortest text that makes a triangle: three lines "vertex 0 0 0" with
// their line feeds (the file's last line may lack its own).
constexpr std::uint64_t kMinAsciiTriangleText = 39;

// One block buffer, uninitialised until read into, and what it holds.
class BlockReader {
 public:
  BlockReader(FileReader& file, Interruption& interruption, const std::string& read_context)
      : file_(file), interruption_(interruption), read_context_(read_context) {}

  std::string_view held() const { return {buffer_.get(), used_}; }

  // Reads into the free part of the buffer, first doubling it if it is full
  // (a line longer than a block). False at the end of the file or when the
  // read failed (see error).
  bool fill() {
    if (used_ == capacity_) grow();
    Result<std::size_t> got =
        file_.read_some({buffer_.get() + used_, capacity_ - used_}, interruption_);
    if (!got) {
      error_ = std::move(got).error().with_context(read_context_);
      return false;
    }
    used_ += *got;
    return *got != 0;
  }

  // Drops the first `count` bytes held.
  void consume(std::size_t count) {
    std::memmove(buffer_.get(), buffer_.get() + count, used_ - count);
    used_ -= count;
  }

  std::optional<Error>& error() { return error_; }

 private:
  void grow() {
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity_ * 2);
    std::memcpy(bigger.get(), buffer_.get(), used_);
    buffer_ = std::move(bigger);
    capacity_ *= 2;
  }

  FileReader& file_;
  Interruption& interruption_;
  const std::string& read_context_;
  std::size_t capacity_ = kBlockSize;
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kBlockSize);
  std::size_t used_ = 0;
  std::optional<Error> error_;
};

// The box of a decoder's triangles, taken in as they come.
class BoundsTracker {
 public:
  explicit BoundsTracker(Bounds& bounds) : bounds_(bounds) { bounds_ = Bounds{}; }

  void take_new(std::span<const Triangle> triangles) {
    bounds_ = merged(bounds_, bounds_of(triangles.subspan(taken_)));
    taken_ = triangles.size();
  }

 private:
  Bounds& bounds_;
  std::size_t taken_ = 0;
};

Result<Mesh> decode_binary(BlockReader& blocks, std::uint64_t size, std::string default_name,
                           BoundsTracker& bounds) {
  BinaryStlDecoder decoder(blocks.held(), size, std::move(default_name));
  blocks.consume(kBinaryStlPreambleSize);
  do {
    const std::size_t whole = blocks.held().size() / kBinaryStlRecordSize * kBinaryStlRecordSize;
    decoder.decode(blocks.held().substr(0, whole));
    bounds.take_new(decoder.triangles());
    blocks.consume(whole);
  } while (blocks.fill());
  if (blocks.error()) return std::move(*blocks.error());
  return std::move(decoder).finish();
}

// Room for as many triangles as the text could make; pages that are never
// written are never backed by memory, so the list never has to move while it
// grows. Without that much address space it grows as it goes.
AsciiStlDecoder ascii_decoder(std::uint64_t size, std::string default_name) {
  try {
    return AsciiStlDecoder(default_name,
                           static_cast<std::size_t>((size + 1) / kMinAsciiTriangleText));
  } catch (const std::bad_alloc&) {
    return AsciiStlDecoder(std::move(default_name), 0);
  }
}

Result<Mesh> decode_ascii(BlockReader& blocks, std::uint64_t size, std::string default_name,
                          BoundsTracker& bounds) {
  AsciiStlDecoder decoder = ascii_decoder(size, std::move(default_name));
  while (true) {
    const std::string_view held = blocks.held();
    const std::size_t last_line_feed = held.rfind('\n');
    if (last_line_feed != std::string_view::npos) {
      if (Status status = decoder.decode(held.substr(0, last_line_feed + 1)); !status) {
        return std::move(status).error();
      }
      bounds.take_new(decoder.triangles());
      blocks.consume(last_line_feed + 1);
    }
    if (!blocks.fill()) break;
  }
  if (blocks.error()) return std::move(*blocks.error());
  if (Status status = decoder.decode(blocks.held()); !status) return std::move(status).error();
  bounds.take_new(decoder.triangles());
  return std::move(decoder).finish();
}

}  // namespace

Result<Mesh> decode_stl_stream(FileReader& file, std::uint64_t reported_size,
                               std::string default_name, Interruption& interruption,
                               const std::string& read_context, Bounds& bounds) {
  BlockReader blocks(file, interruption, read_context);
  BoundsTracker tracker(bounds);
  // Enough of the start to see the preamble of a binary file.
  while (blocks.held().size() < kBinaryStlPreambleSize && blocks.fill()) {
  }
  if (blocks.error()) return std::move(*blocks.error());
  if (is_binary_stl(reported_size, blocks.held())) {
    return decode_binary(blocks, reported_size, std::move(default_name), tracker);
  }
  // The preamble, kept for the reason of a file that looks binary but fails as text.
  const std::string preamble(blocks.held().substr(0, kBinaryStlPreambleSize));
  Result<Mesh> mesh = decode_ascii(blocks, reported_size, std::move(default_name), tracker);
  if (!mesh) return explain_not_binary(std::move(mesh).error(), reported_size, preamble);
  return mesh;
}

}  // namespace facetview
