#include "transcript.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

namespace facetview {

namespace {

constexpr std::string_view graphics_start = "\x1b_G";
constexpr std::string_view cursor_start = "\x1b[";
constexpr std::string_view terminator = "\x1b\\";

int base64_value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

}  // namespace

Transcript read_transcript(std::string_view bytes) {
  Transcript transcript;
  bool in_transmit = false;
  while (!bytes.empty()) {
    if (bytes.starts_with(graphics_start)) {
      const std::size_t end = bytes.find(terminator);
      if (end == std::string_view::npos) {
        ADD_FAILURE() << "unterminated graphics command";
        break;
      }
      const std::string_view body =
          bytes.substr(graphics_start.size(), end - graphics_start.size());
      const std::size_t semicolon = body.find(';');
      const std::string_view control = body.substr(0, semicolon);
      transcript.sequences.push_back("G:" + std::string(control));
      if (semicolon != std::string_view::npos) {
        if (!in_transmit) transcript.payloads.emplace_back();
        transcript.payloads.back().append(body.substr(semicolon + 1));
        in_transmit = control.ends_with("m=1");
      }
      bytes.remove_prefix(end + terminator.size());
    } else if (bytes.starts_with(cursor_start)) {
      const std::size_t end = bytes.find('H');
      if (end == std::string_view::npos) {
        ADD_FAILURE() << "unterminated cursor position";
        break;
      }
      const std::string_view body = bytes.substr(cursor_start.size(), end - cursor_start.size());
      transcript.sequences.push_back("CUP:" + std::string(body));
      bytes.remove_prefix(end + 1);
    } else {
      ADD_FAILURE() << "stray byte " << int(static_cast<unsigned char>(bytes.front()));
      break;
    }
  }
  EXPECT_FALSE(in_transmit) << "transmission left open";
  return transcript;
}

std::vector<std::uint8_t> decode_base64(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  EXPECT_EQ(text.size() % 4, 0u) << "unpadded Base64";
  std::uint32_t bits = 0;
  int bit_count = 0;
  std::size_t padding = 0;
  for (const char c : text) {
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = base64_value(c);
    EXPECT_GE(value, 0) << "character outside the alphabet: " << c;
    EXPECT_EQ(padding, 0u) << "data after padding";
    if (value < 0) return {};
    bits = (bits << 6) | static_cast<std::uint32_t>(value);
    bit_count += 6;
    if (bit_count >= 8) {
      bit_count -= 8;
      bytes.push_back(static_cast<std::uint8_t>(bits >> bit_count));
    }
  }
  EXPECT_LE(padding, 2u);
  EXPECT_EQ(bits & ((1u << bit_count) - 1), 0u) << "non-zero padding bits";
  return bytes;
}

std::vector<std::uint8_t> inflate_zlib(std::span<const std::uint8_t> stream) {
  z_stream inflater{};
  EXPECT_EQ(inflateInit(&inflater), Z_OK);
  std::vector<std::uint8_t> out;
  std::uint8_t piece[16384];
  inflater.next_in = const_cast<Bytef*>(stream.data());
  inflater.avail_in = static_cast<uInt>(stream.size());
  int code = Z_OK;
  while (code == Z_OK) {
    inflater.next_out = piece;
    inflater.avail_out = sizeof piece;
    code = inflate(&inflater, Z_NO_FLUSH);
    out.insert(out.end(), piece, piece + (sizeof piece - inflater.avail_out));
  }
  EXPECT_EQ(code, Z_STREAM_END) << "not one complete zlib stream";
  EXPECT_EQ(inflater.avail_in, 0u) << "bytes after the zlib stream";
  inflateEnd(&inflater);
  return out;
}

std::vector<std::uint8_t> decode_payload(std::string_view payload) {
  return inflate_zlib(decode_base64(payload));
}

std::vector<std::uint8_t> crop(std::span<const std::uint8_t> frame, std::uint32_t frame_width,
                               const Tile& tile) {
  std::vector<std::uint8_t> pixels;
  for (std::uint32_t y = tile.y; y < tile.y + tile.pixel_height; ++y) {
    for (std::uint32_t x = tile.x; x < tile.x + tile.pixel_width; ++x) {
      const std::size_t at = (std::size_t{y} * frame_width + x) * 4;
      pixels.insert(pixels.end(), frame.begin() + at, frame.begin() + at + 4);
    }
  }
  return pixels;
}

}  // namespace facetview
