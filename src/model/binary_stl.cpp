#include "model/binary_stl.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <span>

#include "model/ascii_stl.hpp"
#include "model/triangle_normals.hpp"

namespace facetview {
namespace {

constexpr std::size_t kHeaderSize = 80;

// Assembled from single bytes where the host is not little-endian, so neither
// alignment nor the host's byte order matter.
std::uint32_t load_u32_le(const unsigned char* bytes) {
  if constexpr (std::endian::native == std::endian::little) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
  } else {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
  }
}

Vec3 load_vec3_le(const unsigned char* bytes) {
  return {std::bit_cast<float>(load_u32_le(bytes)), std::bit_cast<float>(load_u32_le(bytes + 4)),
          std::bit_cast<float>(load_u32_le(bytes + 8))};
}

std::uint32_t triangle_count(std::string_view preamble) {
  return load_u32_le(reinterpret_cast<const unsigned char*>(preamble.data()) + kHeaderSize);
}

// Printable ASCII stays, every other byte becomes a space; then the spaces at
// both ends go.
std::string header_text(std::string_view header) {
  std::string text(header);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c < 0x20 || c > 0x7E; }, ' ');
  const std::size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

bool is_binary_stl(std::uint64_t content_size, std::string_view start) {
  if (content_size < kBinaryStlPreambleSize || start.size() < kBinaryStlPreambleSize) return false;
  const std::uint64_t expected =
      kBinaryStlPreambleSize + std::uint64_t{kBinaryStlRecordSize} * triangle_count(start);
  return content_size == expected;
}

Error explain_not_binary(Error ascii_error, std::uint64_t content_size, std::string_view start) {
  if (content_size < kBinaryStlPreambleSize || start.size() < kBinaryStlPreambleSize ||
      ascii_error.message() != kNotUtf8Message) {
    return ascii_error;
  }
  const std::uint32_t count = triangle_count(start);
  const std::uint64_t implied =
      kBinaryStlPreambleSize + std::uint64_t{kBinaryStlRecordSize} * count;
  return Error("not a binary STL: the header counts " + std::to_string(count) +
                   " triangles, which take " + std::to_string(implied) +
                   " bytes, but the file has " + std::to_string(content_size),
               std::move(ascii_error));
}

BinaryStlDecoder::BinaryStlDecoder(std::string_view preamble, std::uint64_t content_size,
                                   std::string default_name) {
  mesh_.name = header_text(preamble.substr(0, kHeaderSize));
  if (mesh_.name.empty()) mesh_.name = std::move(default_name);
  // The count is trusted only as far as the content backs it, so memory stays
  // proportional to the file whatever the header claims.
  const std::uint64_t available = (content_size - kBinaryStlPreambleSize) / kBinaryStlRecordSize;
  remaining_ =
      static_cast<std::size_t>(std::min<std::uint64_t>(triangle_count(preamble), available));
  mesh_.triangles.reserve(remaining_);
}

void BinaryStlDecoder::decode(std::string_view records) {
  const std::size_t count = std::min(records.size() / kBinaryStlRecordSize, remaining_);
  remaining_ -= count;
  const std::size_t first = mesh_.triangles.size();
  const auto* record = reinterpret_cast<const unsigned char*>(records.data());
  for (std::size_t i = 0; i < count; ++i, record += kBinaryStlRecordSize) {
    mesh_.triangles.push_back(
        {load_vec3_le(record),
         {load_vec3_le(record + 12), load_vec3_le(record + 24), load_vec3_le(record + 36)}});
  }
  // The stored normals are the candidates of make_triangle.
  settle_normals(std::span(mesh_.triangles).subspan(first));
}

Result<Mesh> BinaryStlDecoder::finish() && {
  if (mesh_.triangles.empty()) return Error("binary STL contained no triangles");
  return std::move(mesh_);
}

Result<Mesh> decode_binary_stl(std::string_view content, std::string default_name) {
  if (content.size() < kBinaryStlPreambleSize) return Error("binary STL contained no triangles");
  BinaryStlDecoder decoder(content, content.size(), std::move(default_name));
  decoder.decode(content.substr(kBinaryStlPreambleSize));
  return std::move(decoder).finish();
}

}  // namespace facetview
