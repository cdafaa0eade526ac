#include "stl/binary_stl.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

namespace facetview {
namespace {

constexpr std::size_t kHeaderSize = 80;
constexpr std::size_t kPreambleSize = 84;  // header and triangle count
constexpr std::size_t kRecordSize = 50;    // normal, three vertices, attribute byte count

// Assembled from single bytes, so neither alignment nor the host's byte order matter.
std::uint32_t load_u32_le(const unsigned char* bytes) {
  return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
         std::uint32_t{bytes[3]} << 24;
}

Vec3 load_vec3_le(const unsigned char* bytes) {
  return {std::bit_cast<float>(load_u32_le(bytes)), std::bit_cast<float>(load_u32_le(bytes + 4)),
          std::bit_cast<float>(load_u32_le(bytes + 8))};
}

std::uint32_t triangle_count(std::string_view content) {
  return load_u32_le(reinterpret_cast<const unsigned char*>(content.data()) + kHeaderSize);
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

bool is_binary_stl(std::string_view content) {
  if (content.size() < kPreambleSize) return false;
  const std::uint64_t expected =
      kPreambleSize + std::uint64_t{kRecordSize} * triangle_count(content);
  return content.size() == expected;
}

Result<Mesh> decode_binary_stl(std::string_view content, std::string default_name) {
  if (content.size() < kPreambleSize) return Error("binary STL contained no triangles");
  Mesh mesh;
  mesh.name = header_text(content.substr(0, kHeaderSize));
  if (mesh.name.empty()) mesh.name = std::move(default_name);

  // The count is trusted only as far as the content backs it, so memory stays
  // proportional to the file whatever the header claims.
  const std::size_t available = (content.size() - kPreambleSize) / kRecordSize;
  const std::size_t count = std::min<std::size_t>(triangle_count(content), available);
  if (count == 0) return Error("binary STL contained no triangles");
  mesh.triangles.reserve(count);
  const auto* record = reinterpret_cast<const unsigned char*>(content.data()) + kPreambleSize;
  for (std::size_t i = 0; i < count; ++i, record += kRecordSize) {
    mesh.triangles.push_back(make_triangle(load_vec3_le(record), load_vec3_le(record + 12),
                                           load_vec3_le(record + 24), load_vec3_le(record + 36)));
  }
  return mesh;
}

}  // namespace facetview
