#include "model/content_kind.hpp"

#include <algorithm>
#include <array>
#include <cctype>

#include "common/shown_text.hpp"
#include "common/text_words.hpp"

namespace facetview {
namespace {

struct Signature {
  std::size_t offset;
  std::string_view bytes;
  std::string_view kind;
};

// Marks at fixed offsets, from the formats' own descriptions.
constexpr std::array<Signature, 17> kSignatures = {{
    {0, "\xFF\xD8\xFF", "a JPEG image"},
    {0, "\x89PNG\r\n\x1A\n", "a PNG image"},
    {0, "GIF87a", "a GIF image"},
    {0, "GIF89a", "a GIF image"},
    {0, {"II*\0", 4}, "a TIFF image"},
    {0, {"MM\0*", 4}, "a TIFF image"},
    {8, "WEBP", "a WebP image"},
    {0, "%PDF-", "a PDF document"},
    {0, "\x1F\x8B", "a gzip archive"},
    {0, "BZh", "a bzip2 archive"},
    {0,
     {"\xFD"
      "7zXZ\0",
      6},
     "an xz archive"},
    {0, "\x28\xB5\x2F\xFD", "a zstd archive"},
    {0, "7z\xBC\xAF\x27\x1C", "a 7z archive"},
    {0, "Rar!\x1A\x07", "a RAR archive"},
    {257, "ustar", "a tar archive"},
    {0,
     "\x7F"
     "ELF",
     "an ELF program"},
    {0, "glTF", "a binary glTF model, which is not supported"},
}};

// How much of the content the OBJ guess and a message look at.
constexpr std::size_t kSniffedBytes = 64 * 1024;
constexpr std::size_t kShownBytes = 24;

constexpr std::array<std::string_view, 14> kObjKeywords = {
    "v", "vn", "vt", "vp", "f", "l", "p", "o", "g", "s", "mtllib", "usemtl", "cstype", "deg"};

}  // namespace

std::string_view without_byte_order_mark(std::string_view content) {
  if (content.starts_with(kByteOrderMark)) content.remove_prefix(kByteOrderMark.size());
  return content;
}

std::optional<std::string_view> foreign_file_kind(std::string_view content) {
  for (const Signature& signature : kSignatures) {
    if (content.size() >= signature.offset &&
        content.substr(signature.offset).starts_with(signature.bytes)) {
      return signature.kind;
    }
  }
  return std::nullopt;
}

bool looks_like_obj(std::string_view content) {
  // OBJ lines may end in CR alone (old Mac files): both end a line here.
  std::string_view text = without_byte_order_mark(content).substr(0, kSniffedBytes);
  while (!text.empty()) {
    const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
    AsciiWords words(text.substr(0, end));
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::optional<std::string_view> keyword = words.next();
    if (!keyword || keyword->starts_with('#')) continue;
    return std::find(kObjKeywords.begin(), kObjKeywords.end(), *keyword) != kObjKeywords.end();
  }
  return false;
}

std::string describe_content(std::string_view content) {
  if (const std::optional<std::string_view> kind = foreign_file_kind(content)) {
    return std::string(*kind);
  }
  const std::string_view start = content.substr(0, kShownBytes);
  const bool text = std::all_of(start.begin(), start.end(), [](char c) {
    return std::isprint(static_cast<unsigned char>(c)) || c == '\n' || c == '\r' || c == '\t';
  });
  if (!text) return "binary content of no known format";
  return "text beginning \"" + shown_text(start.substr(0, start.find_first_of("\r\n"))) + "\"";
}

}  // namespace facetview
