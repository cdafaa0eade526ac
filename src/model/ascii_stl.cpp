#include "model/ascii_stl.hpp"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/utf8_validation.hpp"
#include "common/white_space.hpp"
#include "model/float_literal.hpp"

namespace facetview {
namespace {

// Enough words to tell every meaningful line from the rest: the longest,
// "facet normal x y z", has five.
constexpr std::size_t kMaxWordsNeeded = 6;

Result<Vec3> parse_point(std::string_view x, std::string_view y, std::string_view z) {
  const std::optional<float> px = parse_float_literal(x);
  const std::optional<float> py = parse_float_literal(y);
  const std::optional<float> pz = parse_float_literal(z);
  if (!px || !py || !pz) return Error("invalid float literal");
  return Vec3{*px, *py, *pz};
}

// A name longer than this is cut: a name is for a status line, not a store.
constexpr std::size_t kMaxNameBytes = 256;

// The words of a line joined by single spaces, cut after kMaxNameBytes bytes
// at the start of a UTF-8 sequence.
std::string joined_words(WordSplitter words) {
  std::string text;
  while (const std::optional<std::string_view> word = words.next()) {
    if (!text.empty()) text += ' ';
    text += word->substr(0, kMaxNameBytes + 1 - std::min(text.size(), kMaxNameBytes + 1));
    if (text.size() <= kMaxNameBytes) continue;
    std::size_t end = kMaxNameBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    break;
  }
  return text;
}

}  // namespace

AsciiStlDecoder::AsciiStlDecoder(std::string default_name, std::size_t expected_triangles) {
  mesh_.name = std::move(default_name);
  mesh_.triangles.reserve(expected_triangles);
}

Status AsciiStlDecoder::decode(std::string_view text) {
  // A piece ends at a line feed, which no multi-byte sequence contains, so a
  // fault is found and measured here exactly as in the whole text; only at the
  // end can the text stop inside a sequence.
  if (const std::optional<Utf8Fault> fault = find_utf8_fault(text)) {
    const Utf8Fault in_file{offset_ + fault->valid_up_to, fault->sequence_length};
    return Error(std::string(kNotUtf8Message), utf8_fault_error(in_file));
  }
  offset_ += text.size();
  std::size_t start = 0;
  while (!parse_error_ && start < text.size()) {
    const char* line_feed =
        static_cast<const char*>(std::memchr(text.data() + start, '\n', text.size() - start));
    const std::size_t end =
        line_feed ? static_cast<std::size_t>(line_feed - text.data()) : text.size();
    std::string_view line = text.substr(start, end - start);
    // Only a CR before a LF belongs to the line end; a final CR stays (as white space).
    if (line_feed && line.ends_with('\r')) line.remove_suffix(1);
    if (Status status = read_line(line); !status) parse_error_ = std::move(status).error();
    ++line_index_;
    start = end + 1;
  }
  return Status::success();
}

Status AsciiStlDecoder::read_line(std::string_view line) {
  WordSplitter splitter(line);
  std::array<std::string_view, kMaxWordsNeeded> words;
  std::size_t count = 0;
  while (count < words.size()) {
    const std::optional<std::string_view> word = splitter.next();
    if (!word) break;
    words[count++] = *word;
  }
  if (count == 0) return Status::success();

  if (words[0] == "solid" && line_index_ == 0 && count >= 2) {
    WordSplitter name_words(line);
    (void)name_words.next();  // "solid"
    mesh_.name = joined_words(name_words);
  } else if (count == 4 && words[0] == "vertex") {
    Result<Vec3> point = parse_point(words[1], words[2], words[3]);
    if (!point) return std::move(point).error();
    add_vertex(*point);
  } else if (count == 5 && words[0] == "facet" && words[1] == "normal") {
    Result<Vec3> normal = parse_point(words[2], words[3], words[4]);
    if (!normal) return std::move(normal).error();
    facet_normal_ = *normal;
    pending_count_ = 0;
  }
  return Status::success();
}

void AsciiStlDecoder::add_vertex(Vec3 point) {
  pending_[pending_count_++] = point;
  if (pending_count_ < pending_.size()) return;
  mesh_.triangles.push_back(make_triangle(facet_normal_, pending_[0], pending_[1], pending_[2]));
  pending_count_ = 0;
}

Result<Mesh> AsciiStlDecoder::finish() && {
  if (parse_error_) return std::move(*parse_error_);
  if (mesh_.triangles.empty()) return Error("failed to parse STL triangles from ASCII source");
  return std::move(mesh_);
}

Result<Mesh> decode_ascii_stl(std::string_view content, std::string default_name) {
  AsciiStlDecoder decoder(std::move(default_name), 0);
  if (Status status = decoder.decode(content); !status) return std::move(status).error();
  return std::move(decoder).finish();
}

}  // namespace facetview
