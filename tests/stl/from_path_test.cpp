#include <gtest/gtest.h>

#include "stl/default_name.hpp"
#include "stl/mesh.hpp"
#include "stl_builders.hpp"

using namespace std::string_literals;

namespace facetview {
namespace {

const StlRecord kUnitRecord{{{0, 0, 0}, {0, 0, 0}, {1, 0, 0}, {0, 1, 0}}};

TEST(DefaultMeshName, StemOfTheLastComponent) {
  const std::pair<std::string, std::string> cases[] = {
      {"part.stl", "part"},
      {"models/bracket.rev.stl", "bracket.rev"},
      {"/abs/.stl", ".stl"},
      {"bracket", "bracket"},
      {"a.", "a"},
      {"...", ".."},
      {"caf\xC3\xA9.stl", "caf\xC3\xA9"},
      {"bad\xFF.stl", "model"},
      {"good.\xFF", "good"},
      {"", "model"},
      {"/", "model"},
      {"dir/", "model"},
      {"..", "model"},
      {"dir/.", "model"},
  };
  for (const auto& [path, expected] : cases) {
    SCOPED_TRACE(path);
    EXPECT_EQ(default_mesh_name(path), expected);
  }
}

TEST(FromPath, ReadsBinaryAndAsciiFilesWithTheirNames) {
  const TemporaryDirectory dir;
  struct Case {
    std::string file_name;
    std::string content;
    std::string name;
  };
  const Case cases[] = {
      {"part.stl", binary_stl("", {kUnitRecord}), "part"},
      {"bracket.rev.stl", binary_stl("", {kUnitRecord, kUnitRecord}), "bracket.rev"},
      {".stl", binary_stl("", {kUnitRecord}), ".stl"},
      {"bracket", "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n", "bracket"},
      {"named.stl", "solid inner name\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n", "inner name"},
      {"odd\xFF.stl", binary_stl("", {kUnitRecord}), "model"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file_name);
    const std::filesystem::path path = dir.write(c.file_name, c.content);
    const Result<Mesh> mesh = Mesh::from_path(path);
    ASSERT_TRUE(mesh.ok()) << mesh.error().message();
    EXPECT_EQ(mesh->name, c.name);
    EXPECT_FALSE(mesh->triangles.empty());
    EXPECT_EQ(mesh->source_path, path);
  }
}

TEST(FromPath, KeepsARelativePathAsGiven) {
  const TemporaryDirectory dir;
  dir.write("rel.stl", binary_stl("", {kUnitRecord}));
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const Result<Mesh> mesh = Mesh::from_path("./rel.stl");
  std::filesystem::current_path(previous);
  ASSERT_TRUE(mesh.ok());
  EXPECT_EQ(mesh->source_path, std::filesystem::path("./rel.stl"));
  EXPECT_EQ(mesh->name, "rel");
}

TEST(FromPath, DecodingErrorsPassThroughUnchanged) {
  const TemporaryDirectory dir;
  const Result<Mesh> mesh = Mesh::from_path(dir.write("empty.stl", ""));
  ASSERT_FALSE(mesh.ok());
  EXPECT_EQ(mesh.error().message(), "failed to parse STL triangles from ASCII source");
  EXPECT_EQ(mesh.error().cause(), nullptr);
}

TEST(FromPath, ReadErrors) {
  const TemporaryDirectory dir;
  const std::string missing = (dir.path() / "missing.stl").string();
  const std::string bad_utf8 = (dir.path() / "bad\xFF.stl").string();
  struct Case {
    std::string path;
    std::string message;
    std::string cause;
  };
  const Case cases[] = {
      {missing, "failed to read STL file " + missing, "No such file or directory (os error 2)"},
      {dir.path().string(), "failed to read STL file " + dir.path().string(),
       "Is a directory (os error 21)"},
      {bad_utf8, "failed to read STL file " + (dir.path() / "bad\xEF\xBF\xBD.stl").string(),
       "No such file or directory (os error 2)"},
      // Open succeeds but every read fails, even for root.
      {"/proc/self/mem", "failed to read STL file /proc/self/mem",
       "Input/output error (os error 5)"},
      {missing + "/", "failed to read STL file " + missing + "/",
       "No such file or directory (os error 2)"},
      // Opening "<dir>/x" in place of the whole name would read the wrong file.
      {(dir.path() / "x\0.stl"s).string(),
       "failed to read STL file " + (dir.path() / "x\0.stl"s).string(), "path contains a NUL byte"},
  };
  dir.write("x", "vertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    const Result<Mesh> mesh = Mesh::from_path(c.path);
    ASSERT_FALSE(mesh.ok());
    EXPECT_EQ(mesh.error().message(), c.message);
    ASSERT_NE(mesh.error().cause(), nullptr);
    EXPECT_EQ(mesh.error().cause()->message(), c.cause);
    EXPECT_EQ(mesh.error().cause()->cause(), nullptr);
  }
}

TEST(FromPath, ReadsFilesWithoutAKnownSize) {
  // /proc files report size 0 and are read until their end all the same.
  const Result<Mesh> mesh = Mesh::from_path("/proc/self/status");
  ASSERT_FALSE(mesh.ok());
  EXPECT_EQ(mesh.error().message(), "failed to parse STL triangles from ASCII source");
}

}  // namespace
}  // namespace facetview
