// STL: the normal rule, decoding in memory, and files read block by block or
// through a pipe, checked against a plainly written normalisation.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <thread>
#include <tuple>

#include <sys/stat.h>

#include "model/float_literal.hpp"
#include "model/mesh.hpp"
#include "model/model_decoder.hpp"
#include "model/stl_decoder.hpp"
#include "support/error_chain.hpp"

using namespace std::string_literals;

namespace facetview {
namespace {

using Record = std::array<Vec3, 4>;  // stored normal, then vertices a, b, c

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr Vec3 kO{0, 0, 0}, kX{1, 0, 0}, kY{0, 1, 0}, kZ{0, 0, 1}, kMinusZ{0, 0, -1};
const Record kUnitRecord{kO, kO, kX, kY};
const Record kOddRecord{
    {{0, 0, -2}, {1.5f, -2.25f, 1e-30f}, {kInf, 0.1f, -0.0f}, {-7, 8.125f, kNaN}}};
const std::string kTriangle = "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n";
const std::string kFacet = "facet normal 0 0 1\nouter loop\n" + kTriangle + "endloop\nendfacet\n";
const Chain kNoTriangles{"failed to parse STL triangles from ASCII source"};
const Chain kBadFloat{"invalid float literal"};
const std::string kNotUtf8 = "ASCII STL is not valid UTF-8";

// A binary STL file whose header claims `count` triangles, by default the number of records.
std::string binary_stl(std::string header, const std::vector<Record>& records,
                       std::int64_t count = -1) {
  static_assert(std::endian::native == std::endian::little && sizeof(Record) == 48);
  const auto n = static_cast<std::uint32_t>(count < 0 ? records.size() : count);
  header.resize(80, '\0');
  header.append(reinterpret_cast<const char*>(&n), 4);
  for (const Record& record : records)
    header.append(reinterpret_cast<const char*>(&record), 48).append("\x12\x34");
  return header;
}

// Within `tolerance` on every axis, or equal (infinities, signed zeros); NaN expects NaN.
void expect_near(Vec3 actual, Vec3 expected, float tolerance) {
  for (const auto& [a, e] :
       {std::pair{actual.x, expected.x}, {actual.y, expected.y}, {actual.z, expected.z}}) {
    const bool same = a == e && std::signbit(a) == std::signbit(e);
    EXPECT_TRUE(std::isnan(e) ? std::isnan(a) : same || std::fabs(a - e) < tolerance)
        << a << " for " << e;
  }
}

struct TemporaryDirectory {
  std::string path = std::filesystem::temp_directory_path() / "facetview-stl-XXXXXX";
  TemporaryDirectory() { EXPECT_NE(::mkdtemp(path.data()), nullptr); }
  ~TemporaryDirectory() { std::filesystem::remove_all(path); }
  std::string write(const std::string& name, const std::string& content) const {
    std::ofstream(path + "/" + name, std::ios::binary) << content;
    return path + "/" + name;
  }
};

struct NormalCase {
  Vec3 candidate, a, b, c, expected;
};

TEST(MakeTriangle, ChoosesTheNormal) {
  const NormalCase cases[] = {
      {kO, kO, kX, kY, kZ},                            // computed from the winding
      {{0, 0, -2}, kO, kX, kY, kMinusZ},               // candidate against the winding is kept
      {{0, 0, 3}, kO, kY, kX, kZ},                     // long candidate scaled to unit length
      {{0.0001f, 0, 0}, kO, kX, kY, kZ},               // candidate of exactly 0.0001 too short
      {{0.00011f, 0, 0}, kO, kX, kY, kX},              // just above 0.0001: the candidate wins
      {kO, kO, {0.0003f, 0, 0}, {0, 0.0003f, 0}, kO},  // cross product 9e-8, below 2^-23: none
      {kO, kO, {0.0004f, 0, 0}, {0, 0.0004f, 0}, kZ},  // 1.6e-7, above 2^-23
      {kO, kO, kX, {kNaN, 1, 0}, kO},                  // NaN vertex: no normal
      {{0, 2, 0}, kO, kX, {kNaN, 1, 0}, kY},           // NaN vertex beside a good candidate
  };
  for (const NormalCase& c : cases) {
    SCOPED_TRACE(&c - cases);
    const Triangle triangle = make_triangle(c.candidate, c.a, c.b, c.c);
    expect_near(triangle.normal, c.expected, 1e-6f);
    const std::array<Vec3, 3> given{c.a, c.b, c.c};  // stored bit for bit, NaN included
    EXPECT_EQ(std::memcmp(triangle.vertices.data(), given.data(), sizeof given), 0);
  }
}

TEST(DecodeStl, Failures) {
  const std::pair<std::string, Chain> cases[] = {
      {"", kNoTriangles},
      {binary_stl("solid x", {}), {"binary STL contained no triangles"}},
      {binary_stl("", {}, 1), kNoTriangles},          // 84 bytes, count 1: ASCII
      {std::string(100'000'000, 'x'), kNoTriangles},  // one 100 MB line
      {"x\xE2\x82(", {kNotUtf8, "invalid utf-8 sequence of 2 bytes from index 1"}},
      {"nul\0byte\x80"s, {kNotUtf8, "invalid utf-8 sequence of 1 bytes from index 8"}},
      {"0123456789\xF0\x9F\x98\x80\xE2\x82",
       {kNotUtf8, "incomplete utf-8 byte sequence from index 14"}},
      {"solid s\n" + kFacet + "vertex 0 0 x\n", kBadFloat},  // earlier triangles are dropped
      {"facet normal 0 0 1\nvertex 0 0 0\nvertex 1 0 0\n", kNoTriangles},
  };
  for (const auto& [content, chain] : cases) {
    EXPECT_EQ(messages(decode_stl(content, "part")), chain) << content.substr(0, 100);
  }
}

TEST(DecodeStl, NamesCountsAndNormals) {
  const std::string reversed = "vertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\n";  // computed: -z
  // Four records are settled side by side; the last one's candidate, just
  // longer than 0.0001, wins over the winding's +z.
  const std::vector<Record> records{kOddRecord, kUnitRecord, kUnitRecord,
                                    Record{{{0.00011f, 0, 0}, kO, kX, kY}}};
  const std::tuple<std::string, std::string, std::size_t, Vec3> cases[] = {
      {"solid   my  part   \n" + kFacet + "endsolid my part\n", "my part", 1, kZ},
      {"\nsolid late\n" + kFacet, "part", 1, kZ},
      // A huge name is cut at 256 bytes, back to the start of a character across the cut.
      {"solid " + std::string(255, 'a') + "\xC3\xA9" + std::string(1000, 'n') + "\n" + kTriangle,
       std::string(255, 'a'), 1, kZ},
      {"\xEF\xBB\xBFsolid bom\n" + kFacet, "part", 1, kZ},  // a byte-order mark is no space
      {"solid\n" + kFacet + "solid other\n" + kFacet, "part", 2, kZ},
      {"solid crlf\r\nfacet normal 0 0 -2\r\nvertex 0 0 0\r\nvertex 1 0 0\r\nvertex 0 1 0\r",
       "crlf", 1, kMinusZ},
      // U+0085, U+00A0, U+1680, U+2000, U+200A, U+2028, U+2029, U+202F, U+205F, U+3000 are spaces.
      {"facet\tnormal\v0\f0\r1\nvertex\xC2\x85+0\xC2\xA0+0\xE1\x9A\x80+0\n"
       "vertex\xE2\x80\x80+1\xE2\x80\x8A+0\xE2\x80\xA8+0\n"
       "vertex\xE2\x80\xA9+0\xE2\x80\xAF+1\xE2\x81\x9F+0\xE3\x80\x80",
       "part", 1, kZ},
      // Keywords are case-sensitive; lines with the wrong word count are ignored.
      {"facet normal 0 0 1\nVERTEX 5 5 5\nVertex 5 5 5\nFacet normal 1 0 0\nvertex 1 2\n"
       "vertex 0 0 0 0\nfacet normal 1 0\nvertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\n",
       "part", 1, kZ},
      // Vertices before any facet get the computed normal; a facet normal lasts until the next.
      {reversed, "part", 1, kMinusZ},
      {kFacet + reversed, "part", 2, kZ},
      // A new facet normal drops pending vertices; leftovers at the end are dropped.
      {"facet normal 1 0 0\nvertex 9 9 9\nvertex 8 8 8\n" + kFacet + "vertex 1 1 1", "part", 1, kZ},
      // Binary headers: bytes other than printable ASCII become spaces; the ends are trimmed.
      {binary_stl("solid cube", records), "solid cube", 4, kX},
      {binary_stl("", records), "part", 4, kX},
      {binary_stl("\x01 ab\x7F\xFF-cd\t\n", records), "ab  -cd", 4, kX},
      {binary_stl("solid x\nfacet\n", records), "solid x facet", 4, kX},
  };
  for (const auto& [content, name, triangles, last_normal] : cases) {
    const Result<Mesh> mesh = decode_stl(content, "part");
    ASSERT_TRUE(mesh.ok()) << content << mesh.error().message();
    EXPECT_EQ(mesh->name, name) << content;
    ASSERT_EQ(mesh->triangles.size(), triangles) << content;
    expect_near(mesh->triangles.back().normal, last_normal, 1e-6f);
  }
  // Binary records keep their corners bit for bit and the stored normal, scaled.
  const Result<Mesh> odd = decode_stl(binary_stl("", {kOddRecord}), "part");
  EXPECT_EQ(std::memcmp(odd->triangles[0].vertices.data(), &kOddRecord[1], 36), 0);
  expect_near(odd->triangles[0].normal, kMinusZ, 1e-6f);
}

TEST(DecodeStl, NumberGrammar) {
  // Each vertex line is read to the point of `expected` of the same index, bit for bit. Through
  // double, 1.00000005960464477539062500001 would first become the tie below it, and then 1.
  const std::string content =
      "vertex 5 5. .5\nvertex 5.25 -.5 +2\nvertex +.5e+1 1e3 1E-3\n"
      "vertex 007 0.1 -1.5e0\nvertex -0 -1e-999 0e999999999999\nvertex INF -inf +Infinity\n"
      "vertex iNfInItY nan -NaN\nvertex 1e39 -1e39 1e999999999999999999999999\n"
      "vertex 0.0001e43 3.4028235677e38 3.4028235678e38\nvertex 1e-40 8e-46 7e-46\n"
      "vertex 1e-999999999999999999999 0.0001e-42 10000000000000000000000000000000000000000e-1000\n"
      "vertex 1.00000005960464477539062500001 1.000000059604644775390625 3.4028235e38\n";
  const float kMax = std::numeric_limits<float>::max(),
              kMin = std::numeric_limits<float>::denorm_min();
  const Vec3 expected[] = {{5, 5, 0.5f},       {5.25f, -0.5f, 2},   {5, 1000, 0.001f},
                           {7, 0.1f, -1.5f},   {-0.0f, -0.0f, 0},   {kInf, -kInf, kInf},
                           {kInf, kNaN, kNaN}, {kInf, -kInf, kInf}, {kInf, kMax, kInf},
                           {1e-40f, kMin, 0},  {0, 0, 0},           {1.00000012f, 1, kMax}};
  const Result<Mesh> mesh = decode_stl(content, "part");
  ASSERT_TRUE(mesh.ok()) << mesh.error().message();
  ASSERT_EQ(mesh->triangles.size(), 4u);
  for (std::size_t i = 0; i < std::size(expected); ++i)
    expect_near(mesh->triangles[i / 3].vertices[i % 3], expected[i], 0);
  for (const char* word : {"+",    "-",      ".",     "x",        "1,5",   "0x10",    "1.0f",
                           "--1",  "+-1",    "-+1",   "1..2",     "1.2.3", "1e",      "1e+",
                           "1e-",  "e5",     ".e5",   "1e5.",     "1e5e5", "infin",   "infinityy",
                           "nanq", "nan(1)", "1_000", "\xD9\xA1", "inff",  "1.5e+-3", "++inf"})
    EXPECT_EQ(messages(decode_stl("vertex 0 0 "s + word, "part")), kBadFloat) << word;
  // U+180E, zero-width space, byte-order mark and the ASCII separators 0x1C to 0x1F are no space.
  for (const char* glue : {"\xE1\xA0\x8E", "\xE2\x80\x8B", "\xEF\xBB\xBF", "\x1C", "\x1F"})
    EXPECT_EQ(messages(decode_stl("vertex 0 0 1"s + glue, "part")), kBadFloat) << glue;
}

// Reading errors come with the path, decoding errors unchanged.
TEST(StlFile, FailuresSayWhere) {
  const TemporaryDirectory dir;
  const std::string root = dir.path, missing = root + "/missing.stl";
  const std::string read = "failed to read STL file ",
                    enoent = "No such file or directory (os error 2)";
  const std::pair<std::string, Chain> cases[] = {
      {missing, {read + missing, enoent}},
      {root + "/bad\xE2\x82-\xC0\xAF.stl",
       {read + root + "/bad\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD.stl", enoent}},
      {"/proc/self/mem", {read + "/proc/self/mem", "Input/output error (os error 5)"}},
      {dir.write("empty.stl", ""), kNoTriangles},
      {"/proc/self/status", kNoTriangles},  // size 0 reported, read to its end all the same
  };
  for (const auto& [path, chain] : cases) {
    EXPECT_EQ(messages(load_model(path, retry_on_signal(), {}, AcceptedFormats::stl)), chain)
        << path;
  }
}

bool same_bits(const Mesh& a, const Mesh& b) {
  return a.name == b.name && a.triangles.size() == b.triangles.size() &&
         std::memcmp(a.triangles.data(), b.triangles.data(),
                     a.triangles.size() * sizeof(Triangle)) == 0;
}

// Normalisation written out plainly: the box of every vertex in order, a NaN
// left out and of two equal values (0 and -0) the earlier kept.
Mesh reference_normalized(const Mesh& mesh) {
  Vec3 low{kInf, kInf, kInf}, high{-kInf, -kInf, -kInf};
  const auto lower = [](float v, float low) { return v < low ? v : low; };
  const auto higher = [](float v, float high) { return v > high ? v : high; };
  for (const Triangle& t : mesh.triangles) {
    for (const Vec3& v : t.vertices) {
      low = {lower(v.x, low.x), lower(v.y, low.y), lower(v.z, low.z)};
      high = {higher(v.x, high.x), higher(v.y, high.y), higher(v.z, high.z)};
    }
  }
  const Vec3 centre{(low.x + high.x) * 0.5f, (low.y + high.y) * 0.5f, (low.z + high.z) * 0.5f};
  const float extent = std::fmax(std::fmax(high.x - low.x, high.y - low.y), high.z - low.z);
  const float scale = extent > 1.1920929e-7f ? 2.0f / extent : 1.0f;
  Mesh result{mesh.name, {}, mesh.source_path};
  const auto place = [&](Vec3 v) {
    return Vec3{(v.x - centre.x) * scale, (v.y - centre.y) * scale, (v.z - centre.z) * scale};
  };
  for (const Triangle& t : mesh.triangles) {
    result.triangles.push_back(
        make_triangle(t.normal, place(t.vertices[0]), place(t.vertices[1]), place(t.vertices[2])));
  }
  return result;
}

// Records of pseudo-random corners in [-50, 50), a NaN now and then.
std::vector<Record> random_records(std::size_t count) {
  std::mt19937 engine(9);
  std::uniform_real_distribution<float> coordinate(-50.0f, 50.0f);
  std::vector<Record> records(count);
  for (std::size_t i = 0; i < count; ++i) {
    for (Vec3& v : records[i]) v = {coordinate(engine), coordinate(engine), coordinate(engine)};
    if (i % 997 == 5) records[i][2].y = kNaN;
    if (i % 3 == 0) records[i][0] = kO;  // computed normal
  }
  return records;
}

// Flat in z, every z but the first (NaN) a zero of either sign, over many read
// blocks: the first zero decides the sign of the box's sides, and so of every
// z placed.
std::vector<Record> signed_zero_edges(std::size_t count, std::size_t offset) {
  std::vector<Record> records = random_records(count);
  for (std::size_t i = 0; i < count; ++i) {
    for (int k = 1; k < 4; ++k) records[i][k].z = (i * 3 + k + offset) % 7 < 3 ? -0.0f : 0.0f;
  }
  records[0][1].z = kNaN;  // not in the box: the first zero is the second corner's
  return records;
}

std::string ascii_facets(std::size_t count, const std::string& line_end) {
  std::string text;
  std::mt19937 engine(3);
  std::uniform_real_distribution<float> coordinate(-9.0f, 9.0f);
  const auto point = [&] {
    return std::to_string(coordinate(engine)) + " " + std::to_string(coordinate(engine)) + " " +
           std::to_string(coordinate(engine));
  };
  for (std::size_t i = 0; i < count; ++i) {
    text += "  facet normal " + point() + line_end + "    outer loop" + line_end;
    for (int k = 0; k < 3; ++k) text += "      vertex " + point() + line_end;
    text += "    endloop" + line_end + "  endfacet" + line_end;
  }
  return text;
}

// Files much larger than a read block, decoded as they are read, give exactly
// what decoding the same content in memory gives: meshes, names and errors
// (with the offsets of UTF-8 faults counted from the file's start). Every way
// of normalising matches the plain reference bit for bit.
TEST(StlFile, BlockByBlockMatchesDecodingInMemory) {
  const std::string facets = ascii_facets(9000, "\n");  // about 1.6 MB
  const std::string long_name(1200000, 'n');
  const std::vector<std::pair<std::string, std::string>> contents{
      {"binary_across_blocks", binary_stl("head", random_records(25003))},
      {"binary_one_point", binary_stl("", {{kY, {3, 4, 5}, {3, 4, 5}, {3, 4, 5}}})},
      {"binary_below_the_float_step", binary_stl("", {{kO, kO, {1e-7f, 0, 0}, {0, 1e-7f, 0}}})},
      {"binary_just_above_the_float_step",
       binary_stl("", {{kO, kO, {2e-7f, 0, 0}, {0, 2e-7f, 0}}})},
      {"binary_count_too_high", binary_stl("", random_records(3), 4)},
      {"binary_flat_starting_at_minus_zero", binary_stl("", signed_zero_edges(25003, 0))},
      {"binary_flat_starting_at_plus_zero", binary_stl("", signed_zero_edges(25003, 3))},
      {"ascii", "solid big part\n" + facets + "endsolid\n"},
      {"ascii_crlf", "solid crlf\r\n" + ascii_facets(5000, "\r\n") + "endsolid\r"},
      {"ascii_no_final_line_feed", facets + "vertex 1 2 3\nvertex 4 5 6\nvertex 7 8 9"},
      {"ascii_long_first_line", "solid " + long_name + " end\n" + kTriangle},
      {"ascii_long_later_line", kTriangle + "solid" + long_name + "\n" + kTriangle},
      {"bad_number_late", facets + "vertex 1 2 x\n" + facets},
      {"bad_number_then_bad_utf8", "vertex 1 2 ,\n" + facets + "\xC3\x28" + facets},
      {"bad_utf8_late", facets + "vertex 1 2 \xE2\x82\n" + facets},
      {"incomplete_utf8_at_end", facets + "\xF0\x9F\x98"},
      {"only_ignored_lines", std::string(700000, ' ') + "\nendsolid\n"},
  };
  const TemporaryDirectory dir;
  for (const auto& [name, content] : contents) {
    SCOPED_TRACE(name);
    const std::string path = dir.write(name + ".stl", content);
    const Result<Mesh> streamed = load_model(path, retry_on_signal(), {}, AcceptedFormats::stl);
    const Result<Mesh> in_memory = decode_stl(content, name);
    EXPECT_EQ(messages(streamed), messages(in_memory));
    // Normalised with the box found block by block, as the earlier box would.
    const Result<Mesh> normalized =
        load_normalized_model(path, retry_on_signal(), {}, AcceptedFormats::stl);
    EXPECT_EQ(messages(normalized), messages(in_memory));
    if (streamed.ok() && in_memory.ok() && normalized.ok()) {
      // The same box in place and on a copy, which leaves its input alone.
      const Mesh expected = reference_normalized(in_memory.value());
      EXPECT_TRUE(same_bits(in_memory.value().normalized(), expected));
      EXPECT_TRUE(same_bits(Mesh(in_memory.value()).normalized(), expected));
      EXPECT_TRUE(same_bits(streamed.value(), in_memory.value()));
      EXPECT_TRUE(same_bits(normalized.value(), expected));
    }
  }
}

// Pipes and devices, whose size is unknown, are read whole: only then is a
// binary file's length known.
TEST(StlFile, PipesAreReadWhole) {
  const TemporaryDirectory dir;
  const std::string fifo = dir.path + "/pipe.stl";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string content = binary_stl("piped", random_records(30000));
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
  const Result<Mesh> piped = load_model(fifo, retry_on_signal(), {}, AcceptedFormats::stl);
  writer.join();
  ASSERT_TRUE(piped.ok()) << piped.error().message();
  EXPECT_TRUE(same_bits(piped.value(), decode_stl(content, "pipe").value()));
}

// Short decimals take a path of their own; every word must still give the
// float nearest to it, as the C library's strtof rounds it.
TEST(FloatLiteral, ShortAndLongDecimalsRoundLikeStrtof) {
  std::mt19937 engine(17);
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(engine);
  };
  for (int i = 0; i < 200000; ++i) {
    std::string word(pick(0, 3) == 0 ? pick(1, 3) : 0, '0');  // leading zeros now and then
    for (int n = pick(1, 10); n > 0; --n) word += static_cast<char>('0' + pick(0, 9));
    if (const int point = pick(-1, static_cast<int>(word.size())); point >= 0)
      word.insert(static_cast<std::size_t>(point), 1, '.');
    if (const int sign = pick(0, 5); sign < 2) word.insert(0, 1, sign == 0 ? '-' : '+');
    if (pick(0, 1)) word.append(pick(0, 1) ? "e" : "E").append(std::to_string(pick(-14, 14)));
    const std::optional<float> parsed = parse_float_literal(word);
    ASSERT_TRUE(parsed.has_value()) << word;
    ASSERT_EQ(std::bit_cast<std::uint32_t>(*parsed),
              std::bit_cast<std::uint32_t>(std::strtof(word.c_str(), nullptr)))
        << word;
  }
}

}  // namespace
}  // namespace facetview
