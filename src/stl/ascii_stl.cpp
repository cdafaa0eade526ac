#include "stl/ascii_stl.hpp"

#include <array>
#include <cstring>

#include "stl/float_literal.hpp"
#include "stl/utf8.hpp"
#include "stl/white_space.hpp"

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

// The words of a line joined by single spaces.
std::string joined_words(WordSplitter words) {
  std::string text;
  while (const std::optional<std::string_view> word = words.next()) {
    if (!text.empty()) text += ' ';
    text += *word;
  }
  return text;
}

class AsciiReader {
 public:
  explicit AsciiReader(std::string default_name) { mesh_.name = std::move(default_name); }

  Status read_line(std::string_view line, std::size_t line_index) {
    WordSplitter splitter(line);
    std::array<std::string_view, kMaxWordsNeeded> words;
    std::size_t count = 0;
    while (count < words.size()) {
      const std::optional<std::string_view> word = splitter.next();
      if (!word) break;
      words[count++] = *word;
    }
    if (count == 0) return Status::success();

    if (words[0] == "solid" && line_index == 0 && count >= 2) {
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

  Result<Mesh> finish() && {
    if (mesh_.triangles.empty()) return Error("failed to parse STL triangles from ASCII source");
    return std::move(mesh_);
  }

 private:
  void add_vertex(Vec3 point) {
    pending_[pending_count_++] = point;
    if (pending_count_ < pending_.size()) return;
    mesh_.triangles.push_back(make_triangle(facet_normal_, pending_[0], pending_[1], pending_[2]));
    pending_count_ = 0;
  }

  Mesh mesh_;
  Vec3 facet_normal_;
  std::array<Vec3, 3> pending_;
  std::size_t pending_count_ = 0;
};

}  // namespace

Result<Mesh> decode_ascii_stl(std::string_view content, std::string default_name) {
  if (const std::optional<Utf8Fault> fault = find_utf8_fault(content)) {
    return Error("ASCII STL is not valid UTF-8", utf8_fault_error(*fault));
  }
  AsciiReader reader(std::move(default_name));
  std::size_t start = 0;
  for (std::size_t line_index = 0; start < content.size(); ++line_index) {
    const char* line_feed =
        static_cast<const char*>(std::memchr(content.data() + start, '\n', content.size() - start));
    const std::size_t end =
        line_feed ? static_cast<std::size_t>(line_feed - content.data()) : content.size();
    std::string_view line = content.substr(start, end - start);
    // Only a CR before a LF belongs to the line end; a final CR stays (as white space).
    if (line_feed && line.ends_with('\r')) line.remove_suffix(1);
    if (Status status = reader.read_line(line, line_index); !status) {
      return std::move(status).error();
    }
    start = end + 1;
  }
  return std::move(reader).finish();
}

}  // namespace facetview
