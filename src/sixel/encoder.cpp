#include "sixel/encoder.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "common/terminal_text.hpp"

namespace facetview {

namespace {

// Device control string of a sixel image: P1 = 0 with raster attributes that
// give the aspect, P2 = 1 so that unset pixels keep what is under them.
constexpr std::string_view kImageStart = "\x1bP0;1q";
constexpr std::string_view kImageEnd = "\x1b\\";
constexpr std::uint32_t kSixelHeight = 6;
constexpr char kEmptySixel = '?';  // 0x3F: no pixel of the six set
// Shortest run worth its "!count" prefix.
constexpr std::uint32_t kShortestRepeat = 4;

// Collects one colour's sixels left to right as runs of equal characters.
class RunWriter {
 public:
  explicit RunWriter(std::string& out) : out_(out) {}

  void add(char sixel, std::uint32_t count) {
    if (count == 0) return;
    if (sixel == current_ && count_ != 0) {
      count_ += count;
      return;
    }
    flush();
    current_ = sixel;
    count_ = count;
  }

  // Ends the colour's row; empty sixels at its end are left out.
  void finish() {
    if (current_ != kEmptySixel) flush();
    count_ = 0;
  }

 private:
  void flush() {
    if (count_ == 0) return;
    if (count_ >= kShortestRepeat) {
      out_ += '!';
      append_decimal(out_, count_);
      out_ += current_;
    } else {
      out_.append(count_, current_);
    }
    count_ = 0;
  }

  std::string& out_;
  char current_ = kEmptySixel;
  std::uint32_t count_ = 0;
};

// A run of frame columns' part of a sixel row in one colour.
struct ColumnBits {
  std::uint32_t column;
  std::uint32_t count;
  std::uint8_t bits;
};

// Whether frame columns a and b hold the same indices in the sixel row.
bool same_column(const std::array<const std::uint8_t*, 6>& sources, std::uint32_t rows,
                 std::uint32_t a, std::uint32_t b) {
  for (std::uint32_t line = 0; line < rows; ++line) {
    if (sources[line][a] != sources[line][b]) return false;
  }
  return true;
}

}  // namespace

void append_sixel_image(std::string& out, const IndexedFrame& frame, std::span<const Rgb> palette,
                        const ScreenBand& band) {
  out += kImageStart;
  out += "\"1;1;";
  append_decimal(out, band.width);
  out += ';';
  append_decimal(out, band.height);
  for (std::size_t index = 0; index < palette.size(); ++index) {
    out += '#';
    append_decimal(out, index);
    out += ";2;";
    append_decimal(out, sixel_percent(palette[index].r));
    out += ';';
    append_decimal(out, sixel_percent(palette[index].g));
    out += ';';
    append_decimal(out, sixel_percent(palette[index].b));
  }

  const std::uint32_t scale = std::max<std::uint32_t>(band.scale, 1);
  if (frame.width == 0 || frame.height == 0 || frame.indices.size() / frame.width < frame.height) {
    out += kImageEnd;
    return;
  }
  const std::uint32_t frame_columns = std::min(frame.width, (band.width + scale - 1) / scale);
  // Per colour, the columns where it sets any of the six pixels, in order; one
  // list for every value an index can take.
  std::vector<std::vector<ColumnBits>> by_colour(SixelPalette::kMaxColours);
  std::vector<std::size_t> used;
  for (std::uint32_t row = 0; row < band.height; row += kSixelHeight) {
    const std::uint32_t rows = std::min(kSixelHeight, band.height - row);
    std::array<const std::uint8_t*, kSixelHeight> sources{};
    for (std::uint32_t line = 0; line < rows; ++line) {
      // Rows past the frame repeat its last one rather than read beyond it.
      const std::size_t frame_row =
          std::min<std::size_t>((band.top + row + line) / scale, frame.height - 1);
      sources[line] = frame.indices.data() + frame_row * frame.width;
    }
    used.clear();
    // Columns repeated side by side, as in most of a frame, are taken once.
    for (std::uint32_t column = 0, end = 0; column < frame_columns; column = end) {
      for (end = column + 1; end < frame_columns && same_column(sources, rows, column, end);) ++end;
      for (std::uint32_t line = 0; line < rows; ++line) {
        const std::uint8_t colour = sources[line][column];
        std::vector<ColumnBits>& entries = by_colour[colour];
        if (entries.empty()) used.push_back(colour);
        if (entries.empty() || entries.back().column != column) {
          entries.push_back({column, end - column, 0});
        }
        entries.back().bits = static_cast<std::uint8_t>(entries.back().bits | (1u << line));
      }
    }
    if (row > 0) out += '-';  // down one sixel row
    bool first = true;
    for (const std::size_t colour : used) {
      if (!first) out += '$';  // back to the row's start for the next colour
      first = false;
      out += '#';
      append_decimal(out, colour);
      RunWriter runs(out);
      std::uint32_t x = 0;  // screen column reached
      for (const ColumnBits& entry : by_colour[colour]) {
        const std::uint32_t start = entry.column * scale;
        const std::uint32_t end = std::min(start + entry.count * scale, band.width);
        runs.add(kEmptySixel, start - x);
        runs.add(static_cast<char>(kEmptySixel + entry.bits), end - start);
        x = end;
      }
      runs.finish();
      by_colour[colour].clear();
    }
  }
  out += kImageEnd;
}

}  // namespace facetview
