// Builders of STL content and temporary files for the reader tests.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "stl/vec3.hpp"

namespace facetview {

// Stored normal, then vertices a, b, c.
using StlRecord = std::array<Vec3, 4>;

inline void append_u32_le(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// A binary STL file; `count` is the header's triangle count, by default the
// number of records.
inline std::string binary_stl(std::string_view header, const std::vector<StlRecord>& records,
                              std::int64_t count = -1) {
  std::string out(header.substr(0, 80));
  out.resize(80, '\0');
  append_u32_le(out, count < 0 ? static_cast<std::uint32_t>(records.size())
                               : static_cast<std::uint32_t>(count));
  for (const StlRecord& record : records) {
    for (const Vec3& v : record) {
      for (const float f : {v.x, v.y, v.z}) append_u32_le(out, std::bit_cast<std::uint32_t>(f));
    }
    out += std::string("\x12\x34", 2);  // attribute byte count, never read
  }
  return out;
}

// A fresh directory under the system's temporary directory, removed with its
// content at the end of the test.
class TemporaryDirectory {
 public:
  TemporaryDirectory() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "facetview-stl-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;
  ~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

  std::filesystem::path write(const std::string& name, std::string_view content) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream(file, std::ios::binary)
        .write(content.data(), static_cast<std::streamsize>(content.size()));
    return file;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace facetview
