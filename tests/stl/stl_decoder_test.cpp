#include "stl/stl_decoder.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "stl_builders.hpp"
#include "vec3_matchers.hpp"

using namespace std::string_literals;

namespace facetview {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

// Messages of an error chain, outermost first.
std::vector<std::string> messages(const Error& error) {
  std::vector<std::string> chain;
  for (const Error* e = &error; e != nullptr; e = e->cause()) chain.push_back(e->message());
  return chain;
}

struct FailureCase {
  const char* what;
  std::string content;
  std::vector<std::string> expected_chain;
};

const StlRecord kUnitRecord{{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}};
const std::string kFacet =
    "facet normal 0 0 1\nouter loop\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendloop\n"
    "endfacet\n";

TEST(DecodeStl, Failures) {
  const FailureCase cases[] = {
      {"empty content", "", {"failed to parse STL triangles from ASCII source"}},
      {"binary with zero triangles",
       binary_stl("solid x", {}),
       {"binary STL contained no triangles"}},
      {"84 bytes with a nonzero count are ASCII",
       binary_stl("", {}, 1),
       {"failed to parse STL triangles from ASCII source"}},
      {"one byte beyond a binary file",
       binary_stl("", {{{{0, 0, 1}, {1, 1, 1}}}}) + "x",
       {"ASCII STL is not valid UTF-8", "invalid utf-8 sequence of 1 bytes from index 94"}},
      {"a count of billions on a short file",
       binary_stl("", {kUnitRecord}, 0xFFFFFFFF),
       {"ASCII STL is not valid UTF-8", "invalid utf-8 sequence of 1 bytes from index 80"}},
      {"truncated UTF-8 at the end",
       "solid \xE2\x82",
       {"ASCII STL is not valid UTF-8", "incomplete utf-8 byte sequence from index 6"}},
      {"bad word in a vertex line",
       "solid s\n" + kFacet + "vertex 0 0 x\n",
       {"invalid float literal"}},
      {"bad word in a facet normal line", "facet normal 0 1,5 0\n", {"invalid float literal"}},
      {"NUL byte glued to a number", "vertex 0 0 0\0\n"s, {"invalid float literal"}},
      {"hex number", "vertex 0x10 0 0\n", {"invalid float literal"}},
      {"only ignored lines",
       "solid a\nouter loop\nendloop\nendsolid a\n",
       {"failed to parse STL triangles from ASCII source"}},
      {"two vertices only",
       "facet normal 0 0 1\nvertex 0 0 0\nvertex 1 0 0\n",
       {"failed to parse STL triangles from ASCII source"}},
  };
  for (const FailureCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Result<Mesh> mesh = decode_stl(c.content, "part");
    ASSERT_FALSE(mesh.ok());
    EXPECT_EQ(messages(mesh.error()), c.expected_chain);
  }
}

struct AsciiCase {
  const char* what;
  std::string content;
  std::string name;
  std::vector<Vec3> normals;  // one per triangle, in order
};

TEST(DecodeStl, AsciiFiles) {
  const AsciiCase cases[] = {
      {"plain facet", "solid cube\n" + kFacet + "endsolid cube\n", "cube", {{0, 0, 1}}},
      {"name words joined by one space", "solid   my  part   \n" + kFacet, "my part", {{0, 0, 1}}},
      {"\"solid\" alone keeps the default name", "solid\n" + kFacet, "part", {{0, 0, 1}}},
      {"\"solid\" after a blank first line", "\nsolid late\n" + kFacet, "part", {{0, 0, 1}}},
      {"byte-order mark before \"solid\"", "\xEF\xBB\xBFsolid bom\n" + kFacet, "part", {{0, 0, 1}}},
      {"CR LF line ends",
       "solid crlf\r\nfacet normal 0 0 1\r\nvertex 0 0 0\r\nvertex 1 0 0\r\n"
       "vertex 0 1 0\r\n",
       "crlf",
       {{0, 0, 1}}},
      {"last line without LF keeps its CR",
       "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\r",
       "part",
       {{0, 0, 1}}},
      {"no-break space and tabs separate words",
       "facet\xC2\xA0normal\t0 0 -1\nvertex\xC2\xA0"
       "0\xE3\x80\x80"
       "0 0\nvertex 1 0 0\n"
       "vertex 0 1 0",
       "part",
       {{0, 0, -1}}},
      {"keywords are case-sensitive",
       "facet normal 0 0 1\nVERTEX 5 5 5\nvertex 0 0 0\nVertex 5 5 5\nvertex 1 0 0\n"
       "Facet normal 1 0 0\nvertex 0 1 0\n",
       "part",
       {{0, 0, 1}}},
      {"lines with the wrong word count are ignored",
       "facet normal 0 0 1\nvertex 1 2\nvertex 0 0 0 0\nfacet normal 1 0\nvertex 0 0 0\n"
       "vertex 1 0 0\nvertex 0 1 0\n",
       "part",
       {{0, 0, 1}}},
      {"six vertices under one normal make two triangles",
       "facet normal 0 0 1\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\nendfacet\n"
       "vertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\n",
       "part",
       {{0, 0, 1}, {0, 0, 1}}},
      {"vertices before any facet get computed normals",
       "vertex 0 0 0\nvertex 0 1 0\nvertex 1 0 0\n",
       "part",
       {{0, 0, -1}}},
      {"a new facet normal drops pending vertices",
       "facet normal 1 0 0\nvertex 9 9 9\nvertex 8 8 8\n" + kFacet,
       "part",
       {{0, 0, 1}}},
      {"leftover vertices at the end are dropped",
       kFacet + "vertex 1 1 1\nvertex 2 2 2\n",
       "part",
       {{0, 0, 1}}},
      {"stored normal is made unit length",
       "facet normal 0 3 4\nvertex 0 0 0\nvertex 1 0 0\n"
       "vertex 0 1 0\n",
       "part",
       {{0, 0.6f, 0.8f}}},
      {"number forms",
       "facet normal +2 -.5 1e3\nvertex INF nan 1e39\nvertex 0 0 0\nvertex 0 0 0\n",
       "part",
       {{0.002f, -0.0005f, 0.999998f}}},
      {"a late \"solid\" line is ignored",
       kFacet + "solid other\n" + kFacet,
       "part",
       {{0, 0, 1}, {0, 0, 1}}},
  };
  for (const AsciiCase& c : cases) {
    SCOPED_TRACE(c.what);
    const Result<Mesh> mesh = decode_stl(c.content, "part");
    ASSERT_TRUE(mesh.ok()) << mesh.error().message();
    EXPECT_EQ(mesh->name, c.name);
    EXPECT_FALSE(mesh->source_path.has_value());
    ASSERT_EQ(mesh->triangles.size(), c.normals.size());
    for (std::size_t i = 0; i < c.normals.size(); ++i) {
      expect_near(mesh->triangles[i].normal, c.normals[i], 1e-6f);
    }
  }
}

TEST(DecodeStl, AsciiVertexValues) {
  const Result<Mesh> mesh =
      decode_stl("vertex 1e3 -.5 +2\nvertex INF -inf 1e39\nvertex nan 0.1 -0\n", "part");
  ASSERT_TRUE(mesh.ok());
  const auto& v = mesh->triangles.at(0).vertices;
  EXPECT_EQ(v[0], (Vec3{1000, -0.5f, 2}));
  EXPECT_EQ(v[1], (Vec3{kInf, -kInf, kInf}));
  EXPECT_TRUE(std::isnan(v[2].x));
  EXPECT_EQ(v[2].y, 0.1f);
  EXPECT_TRUE(std::signbit(v[2].z));
}

struct BinaryCase {
  const char* what;
  std::string header;
  StlRecord record;
  std::string name;
  Vec3 normal;
};

TEST(DecodeStl, BinaryFiles) {
  const BinaryCase cases[] = {
      {"header text padded with NUL bytes", "solid cube", kUnitRecord, "solid cube", {0, 0, 1}},
      {"80 NUL bytes", std::string(80, '\0'), kUnitRecord, "part", {0, 0, 1}},
      {"80 spaces", std::string(80, ' '), kUnitRecord, "part", {0, 0, 1}},
      {"control and high bytes become spaces",
       "\x01 ab\x7F\xFF"
       "cd\t\n",
       kUnitRecord,
       "ab  cd",
       {0, 0, 1}},
      {"stored normal against the winding",
       "",
       {{{0, 0, -2}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}},
       "part",
       {0, 0, -1}},
      {"header that looks like ASCII",
       "solid ascii\nfacet normal 0 0 1\n",
       kUnitRecord,
       "solid ascii facet normal 0 0 1",
       {0, 0, 1}},
  };
  for (const BinaryCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string content = binary_stl(c.header, {c.record});
    ASSERT_EQ(content.size(), 134u);
    const Result<Mesh> mesh = decode_stl(content, "part");
    ASSERT_TRUE(mesh.ok()) << mesh.error().message();
    EXPECT_EQ(mesh->name, c.name);
    ASSERT_EQ(mesh->triangles.size(), 1u);
    expect_near(mesh->triangles[0].normal, c.normal, 1e-6f);
    EXPECT_EQ(mesh->triangles[0].vertices[0], c.record[1]);
    EXPECT_EQ(mesh->triangles[0].vertices[2], c.record[3]);
  }
}

TEST(DecodeStl, BinaryRecordsInOrderBitForBit) {
  const std::vector<StlRecord> records = {
      {{{0, 0, 0}, {1.5f, -2.25f, 1e-30f}, {3, 4, 5}, {-7, 8.125f, 9}}},
      {{{1, 0, 0}, {kInf, 0.1f, -0.0f}, {1, 2, 3}, {4, 5, 6}}},
      {{{0, 0, 0}, {1, 1, 1}, {1, 1, 1}, {1, 1, 1}}},
  };
  const Result<Mesh> mesh = decode_stl(binary_stl("", records), "part");
  ASSERT_TRUE(mesh.ok());
  ASSERT_EQ(mesh->triangles.size(), records.size());
  for (std::size_t i = 0; i < records.size(); ++i) {
    SCOPED_TRACE(i);
    const Triangle expected =
        make_triangle(records[i][0], records[i][1], records[i][2], records[i][3]);
    const Triangle& actual = mesh->triangles[i];
    EXPECT_EQ(actual.vertices, expected.vertices);
    EXPECT_EQ(actual.normal, expected.normal);
  }
  EXPECT_TRUE(std::signbit(mesh->triangles[1].vertices[0].z));
}

TEST(DecodeStl, HostileContent) {
  // A million vertex lines and no facet: one triangle per three lines.
  std::string vertices;
  for (int i = 0; i < 1'000'000; ++i) vertices += "vertex 0 0 0\n";
  const Result<Mesh> many = decode_stl(vertices, "part");
  ASSERT_TRUE(many.ok());
  EXPECT_EQ(many->triangles.size(), 333'333u);

  // A 100 MB line without a line feed is one ignored word.
  const Result<Mesh> long_line = decode_stl(std::string(100'000'000, 'x'), "part");
  ASSERT_FALSE(long_line.ok());
  EXPECT_EQ(long_line.error().message(), "failed to parse STL triangles from ASCII source");

  // NUL bytes are valid UTF-8 and not white space.
  const Result<Mesh> nuls = decode_stl(std::string(1000, '\0'), "part");
  ASSERT_FALSE(nuls.ok());
  EXPECT_EQ(nuls.error().message(), "failed to parse STL triangles from ASCII source");
}

}  // namespace
}  // namespace facetview
