#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <thread>

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
const std::string kTriangle = "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n";
const std::string kFacet = "facet normal 0 0 1\nouter loop\n" + kTriangle + "endloop\nendfacet\n";
const Chain kNoTriangles{"failed to parse STL triangles from ASCII source"};
const Chain kBadFloat{"invalid float literal"};

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

// The error chain of content that is not UTF-8; length 0 stands for an incomplete sequence.
Chain bad_utf8(int length, int index) {
  const std::string at = " from index " + std::to_string(index);
  return {"ASCII STL is not valid UTF-8",
          length == 0 ? "incomplete utf-8 byte sequence" + at
                      : "invalid utf-8 sequence of " + std::to_string(length) + " bytes" + at};
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
      {{0, 0, 0.00005f}, kO, kY, kX, kMinusZ},         // candidate too short: computed
      {{0.0001f, 0, 0}, kO, kX, kY, kZ},               // candidate of exactly 0.0001 too short
      {{0.00011f, 0, 0}, kO, kX, kY, kX},              // just above 0.0001: the candidate wins
      {kO, kO, {0.0001f, 0, 0}, {0, 0.0001f, 0}, kO},  // cross product 1e-8: no normal
      {kO, kO, {0.0003f, 0, 0}, {0, 0.0003f, 0}, kO},  // 9e-8, below 2^-23: no normal
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

TEST(DemoMesh, IsTheClosedHullAndNormalizes) {
  const Mesh mesh = Mesh::demo_mesh(), once = mesh.normalized();
  EXPECT_EQ(mesh.name, "demo hull");
  EXPECT_FALSE(mesh.source_path.has_value());
  ASSERT_EQ(mesh.triangles.size(), 12u);
  const std::array<Vec3, 3> first{
      {{-0.9f, -0.6f, -0.6f}, {0.8f, -0.6f, -0.6f}, {0.8f, 0.6f, -0.6f}}};
  EXPECT_EQ(mesh.triangles[0].vertices, first);
  expect_near(mesh.triangles[0].normal, kZ, 1e-6f);
  expect_near(mesh.triangles[2].normal, {-0.1227f, 0.1450f, -0.9818f}, 0.00005f);
  // Centre (0.05, 0.1, 0.1), scale 2 / 1.9: vertex 0 (corner a of triangle 0) and 5 (c of 2).
  // Normals have unit length, point into the convex hull (its box centre) and stay normalized.
  EXPECT_EQ(once.name, "demo hull");
  expect_near(once.triangles[0].vertices[0], {-1, -0.736842f, -0.736842f}, 1e-6f);
  expect_near(once.triangles[2].vertices[2], {1, -0.526316f, 0.526316f}, 1e-6f);
  for (std::size_t i = 0; i < 12; ++i) {
    const Vec3 n = mesh.triangles[i].normal, a = mesh.triangles[i].vertices[0];
    EXPECT_NEAR(n.x * n.x + n.y * n.y + n.z * n.z, 1.0f, 1e-6f);
    EXPECT_GT(n.x * (0.05f - a.x) + n.y * (0.1f - a.y) + n.z * (0.1f - a.z), 0.1f);
    expect_near(once.triangles[i].normal, n, 1e-6f);
  }
}

TEST(Normalized, SingleTrianglesAndNone) {
  const Vec3 p = {-1, -0.5f, 0}, q = {1, -0.5f, 0}, r = {-1, 0.5f, 0};
  const std::pair<Triangle, Triangle> cases[] = {
      {{kZ, {{kO, {2, 0, 0}, kY}}}, {kZ, {p, q, r}}},                   // scale 1
      {{kMinusZ, {{kO, {4, 0, 0}, {0, 2, 0}}}}, {kMinusZ, {p, q, r}}},  // normal not recomputed
      {{kZ, {{kO, {2, 0, 0}, {0, 1, kNaN}}}},
       {kZ, {p, q, {-1, 0.5f, kNaN}}}},  // NaN not in the box
      {make_triangle(kO, kO, {0.0001f, 0, 0}, {0, 0.0001f, 0}),
       {kZ, {{{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}}}}},
      // Coincident vertices keep scale 1 and move to the origin; zero and unit normals stay.
      {make_triangle(kO, {3, 4, 5}, {3, 4, 5}, {3, 4, 5}), {kO, {kO, kO, kO}}},
      {make_triangle(kY, {3, 4, 5}, {3, 4, 5}, {3, 4, 5}), {kY, {kO, kO, kO}}},
  };
  for (const auto& [input, expected] : cases) {
    const Mesh result = Mesh{"", {input}, {}}.normalized();
    ASSERT_EQ(result.triangles.size(), 1u);
    expect_near(result.triangles[0].normal, expected.normal, 1e-5f);
    for (int k = 0; k < 3; ++k)
      expect_near(result.triangles[0].vertices[k], expected.vertices[k], 1e-4f);
  }
  const Mesh empty = Mesh{"empty", {}, "some/where.stl"}.normalized();
  EXPECT_TRUE(empty.triangles.empty() && empty.name == "empty" &&
              empty.source_path == "some/where.stl");
}

Chain not_binary(const std::string& counts, Chain ascii) {
  ascii.insert(ascii.begin(), "not a binary STL: the header counts " + counts);
  return ascii;
}

TEST(DecodeStl, Failures) {
  const std::pair<std::string, Chain> cases[] = {
      {"", kNoTriangles},
      {binary_stl("solid x", {}), {"binary STL contained no triangles"}},
      {binary_stl("", {}, 1), kNoTriangles},  // 84 bytes, count 1: ASCII
      // Binary but for the size: the reason says so before the text's fault.
      {binary_stl("", {{kZ, {1, 1, 1}}}) + "x",
       not_binary("1 triangles, which take 134 bytes, but the file has 135", bad_utf8(1, 94))},
      {binary_stl("", {kUnitRecord}, 0xFFFFFFFF),  // hostile count
       not_binary("4294967295 triangles, which take 214748364834 bytes, but the file has 134",
                  bad_utf8(1, 80))},
      {std::string(100'000'000, 'x'), kNoTriangles},  // one 100 MB line
      {"\xC0\xAF", bad_utf8(1, 0)},                   // overlong
      {"\xED\xA0\x80", bad_utf8(1, 0)},               // surrogate
      {"x\xE2\x82(", bad_utf8(2, 1)},
      {"\xF0\x9F\x98(", bad_utf8(3, 0)},
      {"nul\0byte\x80"s, bad_utf8(1, 8)},
      {"0123456789\xF0\x9F\x98\x80\xE2\x82", bad_utf8(0, 14)},
      {"solid s\n" + kFacet + "vertex 0 0 x\n", kBadFloat},  // earlier triangles are dropped
      {"facet normal 0 1,5 0\n", kBadFloat},
      {"facet normal 0 0 1\nvertex 0 0 0\nvertex 1 0 0\n", kNoTriangles},
  };
  for (const auto& [content, chain] : cases) {
    EXPECT_EQ(messages(decode_stl(content, "part")), chain) << content.substr(0, 100);
  }
}

struct AsciiCase {
  std::string content, name;
  std::size_t triangles;
  Vec3 last_normal;
};

TEST(DecodeStl, AsciiFiles) {
  const std::string reversed = "vertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\n";  // computed: -z
  const AsciiCase cases[] = {
      {"solid   my  part   \n" + kFacet + "endsolid my part\n", "my part", 1, kZ},
      {"\nsolid late\n" + kFacet, "part", 1, kZ},
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
  };
  for (const AsciiCase& c : cases) {
    const Result<Mesh> mesh = decode_stl(c.content, "part");
    ASSERT_TRUE(mesh.ok()) << c.content << mesh.error().message();
    EXPECT_EQ(mesh->name, c.name) << c.content;
    ASSERT_EQ(mesh->triangles.size(), c.triangles) << c.content;
    expect_near(mesh->triangles.back().normal, c.last_normal, 1e-6f);
  }
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

TEST(DecodeStl, BinaryFiles) {
  const std::pair<std::string, std::string> header_names[] = {
      {"solid cube", "solid cube"},
      {std::string(80, '\0'), "part"},
      {std::string(80, ' '), "part"},
      {"\x01 ab\x7F\xFF-cd\t\n", "ab  -cd"},
      {"solid x\nfacet\n", "solid x facet"}};
  const Record odd{{{0, 0, -2}, {1.5f, -2.25f, 1e-30f}, {kInf, 0.1f, -0.0f}, {-7, 8.125f, kNaN}}};
  for (const auto& [header, name] : header_names) {
    const Result<Mesh> mesh = decode_stl(binary_stl(header, {kUnitRecord, odd}), "part");
    ASSERT_TRUE(mesh.ok()) << mesh.error().message();
    EXPECT_EQ(mesh->name, name);
    ASSERT_EQ(mesh->triangles.size(), 2u);
    expect_near(mesh->triangles[0].normal, kZ, 1e-6f);  // computed for a zero stored normal
    expect_near(mesh->triangles[1].normal, kMinusZ, 1e-6f);
    EXPECT_EQ(std::memcmp(mesh->triangles[1].vertices.data(), &odd[1], 36), 0);  // bit for bit
  }
}

TEST(FromPath, ReadsFilesNamesThemAndFails) {
  const TemporaryDirectory dir;
  const std::pair<std::string, std::string> names[] = {{"bracket.rev.stl", "bracket.rev"},
                                                       {".stl", ".stl"},
                                                       {"bracket", "bracket"},
                                                       {"bad\xFF.stl", "model"},
                                                       {"good.\xFF", "good"}};
  for (const auto& [file_name, name] : names) {
    for (const std::string& content : {binary_stl("", {kUnitRecord}), "solid\n" + kTriangle}) {
      dir.write(file_name, content);
      const std::filesystem::path path = dir.path + "/./" + file_name;  // kept as given
      const Result<Mesh> mesh = load_model(path, retry_on_signal(), {}, AcceptedFormats::stl);
      ASSERT_TRUE(mesh.ok()) << mesh.error().message();
      EXPECT_EQ(mesh->name, name);
      EXPECT_EQ(mesh->source_path, path);
    }
  }
  const std::string root = dir.path, missing = root + "/missing.stl", nul = root + "/x\0.stl"s;
  const std::string read = "failed to read STL file ",
                    enoent = "No such file or directory (os error 2)";
  const std::pair<std::string, Chain> cases[] = {
      {missing, {read + missing, enoent}},
      {root, {read + root, "Is a directory (os error 21)"}},
      {root + "/bad\xE2\x82-\xC0\xAF.stl",
       {read + root + "/bad\xEF\xBF\xBD-\xEF\xBF\xBD\xEF\xBF\xBD.stl", enoent}},
      {"/proc/self/mem", {read + "/proc/self/mem", "Input/output error (os error 5)"}},
      {nul, {read + nul, "path contains a NUL byte"}},
      {dir.write("empty.stl", ""), kNoTriangles},  // decoding errors pass unchanged
      {"/proc/self/status", kNoTriangles},         // size 0 reported, read to its end all the same
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
TEST(FromPath, BlockByBlockMatchesDecodingInMemory) {
  const std::string facets = ascii_facets(9000, "\n");  // about 1.6 MB
  const std::string long_name(1200000, 'n');
  const std::vector<std::pair<std::string, std::string>> contents{
      {"binary_across_blocks", binary_stl("head", random_records(25003))},
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

// Stops the read after a few checks.
struct StopAfter final : Interruption {
  explicit StopAfter(int checks) : left(checks) {}
  Status check() override {
    if (left-- > 0) return Status::success();
    return Error("interrupted");
  }
  int left;
};

// Pipes and devices, whose size is unknown, are read whole; an endless one
// can still be stopped, since every read asks whether to go on.
TEST(FromPath, PipesAreReadWholeAndEndlessFilesCanBeStopped) {
  const TemporaryDirectory dir;
  const std::string fifo = dir.path + "/pipe.stl";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string content = binary_stl("piped", random_records(30000));
  std::thread writer([&] { std::ofstream(fifo, std::ios::binary) << content; });
  const Result<Mesh> piped = load_model(fifo, retry_on_signal(), {}, AcceptedFormats::stl);
  writer.join();
  ASSERT_TRUE(piped.ok()) << piped.error().message();
  EXPECT_TRUE(same_bits(piped.value(), decode_stl(content, "pipe").value()));

  StopAfter stop(5);
  EXPECT_EQ(messages(load_model("/dev/zero", stop, {}, AcceptedFormats::stl)),
            (Chain{"failed to read STL file /dev/zero", "interrupted"}));
  EXPECT_EQ(stop.left, -1);
}

// Short decimals take a path of their own; every word must still give the
// float nearest to it, as the C library's strtof rounds it.
TEST(FloatLiteral, ShortAndLongDecimalsRoundLikeStrtof) {
  std::mt19937 engine(17);
  const auto pick = [&](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(engine);
  };
  for (int i = 0; i < 200000; ++i) {
    std::string digits;
    for (int n = pick(1, 10); n > 0; --n) digits += static_cast<char>('0' + pick(0, 9));
    if (pick(0, 3) == 0) digits.insert(0, std::string(pick(1, 3), '0'));
    const int point = pick(-1, static_cast<int>(digits.size()));
    if (point >= 0) digits.insert(static_cast<std::size_t>(point), 1, '.');
    const int sign = pick(0, 5);
    if (sign < 2) digits.insert(0, 1, sign == 0 ? '-' : '+');
    if (pick(0, 1)) digits.append(pick(0, 1) ? "e" : "E").append(std::to_string(pick(-14, 14)));
    const std::string& word = digits;
    const std::optional<float> parsed = parse_float_literal(word);
    ASSERT_TRUE(parsed.has_value()) << word;
    const float expected = std::strtof(word.c_str(), nullptr);
    ASSERT_EQ(std::bit_cast<std::uint32_t>(*parsed), std::bit_cast<std::uint32_t>(expected))
        << word;
  }
}

}  // namespace
}  // namespace facetview
