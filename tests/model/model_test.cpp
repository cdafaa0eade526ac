// The model formats beside STL: detection and dispatch, OBJ, PLY and 3MF
// decoding, hostile files, and meshes from packed arrays.
#include <gtest/gtest.h>
#include <zip.h>

#include <bit>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <tuple>

#include "model/array_mesh.hpp"
#include "model/model_decoder.hpp"
#include "support/error_chain.hpp"

namespace facetview {
namespace {

std::vector<Vec3> corners(const Mesh& mesh) {
  std::vector<Vec3> points;
  for (const Triangle& t : mesh.triangles)
    points.insert(points.end(), t.vertices.begin(), t.vertices.end());
  return points;
}

// A zip archive of (name, content) entries compressed by `method`, made with libzip.
std::string zip_of(const std::vector<std::pair<std::string, std::string>>& entries,
                   zip_int32_t method = ZIP_CM_DEFLATE) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("facetview-test-" + std::to_string(::getpid()) + ".zip");
  int error = 0;
  zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
  EXPECT_NE(archive, nullptr);
  for (const auto& [name, content] : entries) {
    zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
    const zip_int64_t index = zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE);
    EXPECT_GE(index, 0);
    zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), method, 0);
  }
  EXPECT_EQ(zip_close(archive), 0);
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::filesystem::remove(path);
  return bytes;
}

const std::string kRels =
    R"(<?xml version="1.0"?><Relationships )"
    R"(xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
    R"(<Relationship Target="/3D/model.model" Id="r0" )"
    R"(Type="http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel"/></Relationships>)";

// A 3MF model part: objects (id, body) and a build (items).
std::string model_xml(const std::string& resources, const std::string& build) {
  return R"(<?xml version="1.0" encoding="UTF-8"?><model unit="millimeter" xml:lang="en-US" )"
         R"(xmlns="http://schemas.microsoft.com/3dmanufacturing/core/2015/02"><resources>)" +
         resources + "</resources><build>" + build + "</build></model>";
}

const std::string kTriangleObject =
    R"(<object id="1" type="model"><mesh><vertices><vertex x="0" y="0" z="0"/>)"
    R"(<vertex x="1" y="0" z="0"/><vertex x="0" y="1" z="0"/></vertices><triangles>)"
    R"(<triangle v1="0" v2="1" v3="2"/></triangles></mesh></object>)";

std::string three_mf(const std::string& resources, const std::string& build) {
  return zip_of({{"_rels/.rels", kRels}, {"3D/model.model", model_xml(resources, build)}});
}

// Packs values of type T as a native or byte-swapped array.
template <class T>
std::string pack(std::initializer_list<T> values, bool swap = false) {
  std::string bytes;
  for (T value : values) {
    auto raw = std::bit_cast<std::array<char, sizeof(T)>>(value);
    if (swap) std::reverse(raw.begin(), raw.end());
    bytes.append(raw.data(), raw.size());
  }
  return bytes;
}

// `start`, then `part` `times` over.
std::string repeated(std::string start, std::string_view part, int times) {
  for (int i = 0; i < times; ++i) start += part;
  return start;
}

// Objects 2 to 5, each placing the one below 64 times: 64^4 triangles of object 1.
std::string instancing_bomb() {
  std::string objects;
  for (int level = 2; level <= 5; ++level)
    objects += "<object id=\"" + std::to_string(level) + "\"><components>" +
               repeated("", "<component objectid=\"" + std::to_string(level - 1) + "\"/>", 64) +
               "</components></object>";
  return objects;
}

// A PLY file in `format`: the magic and format lines, then `rest`.
std::string ply(const std::string& rest, const char* format = "ascii") {
  return std::string("ply\nformat ") + format + " 1.0\n" + rest;
}
const std::string kXyz = "property float x\nproperty float y\nproperty float z\n";
const std::string kFaces = "property list uchar int vertex_indices\n";

// Binary PLY of one triangle, with a vertex property before x and a face
// property after the list, in the given byte order.
std::string binary_ply(bool big_endian) {
  std::string data =
      ply("comment made by hand\nelement vertex 3\nproperty uchar tag\nproperty float x\n"
          "property double y\nproperty int16 z\nelement face 1\n"
          "property list uchar uint vertex_indices\nproperty float q\nend_header\n",
          big_endian ? "binary_big_endian" : "binary_little_endian");
  const auto put = [&](auto value) { data += pack({value}, big_endian); };
  for (const auto& [x, y] : {std::pair<float, double>{0, 0}, {2, 0}, {0, 3}})
    put(std::uint8_t{7}), put(x), put(y), put(std::int16_t{-1});
  put(std::uint8_t{3}), put(0u), put(1u), put(2u), put(1.5f);
  return data;
}

// Binary STL of one triangle per attribute word, its header beginning `header`.
std::string binary_stl(std::string header, std::initializer_list<std::uint16_t> attributes) {
  header.resize(80, ' ');
  std::string data = header + pack<std::uint32_t>({static_cast<std::uint32_t>(attributes.size())});
  for (const std::uint16_t attribute : attributes) {
    data += pack<float>({0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0}) + pack<std::uint16_t>({attribute});
  }
  return data;
}

const std::string kTwoTriangleVertices =
    R"(<vertices><vertex x="0" y="0" z="0"/><vertex x="1" y="0" z="0"/><vertex x="0" y="1" z="0"/>)"
    R"(<vertex x="1" y="1" z="0"/></vertices>)";

struct Decoded {
  const char* label;
  std::string content;
  const char* path;
  std::vector<Vec3> corners;          // of every triangle in order; none: not checked
  std::vector<FaceColour> colours{};  // one per triangle, or none
};

using Points = std::vector<Vec3>;
using Colours = std::vector<FaceColour>;
const Vec3 kO{0, 0, 0}, kX{1, 0, 0}, kY{0, 1, 0}, kXY{1, 1, 0};
constexpr FaceColour kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kGrey = kUnpaintedFace;

TEST(DecodedModels, GiveTheirTrianglesAndColours) {
  const MaterialLibraryReader materials = [](std::string_view name) -> std::optional<std::string> {
    if (name != "parts.mtl") return std::nullopt;
    return "newmtl red\nKd 1 0 0\nnewmtl half tone # comment\nKd 0.5 0.25 2\nnewmtl plain\n"
           "newmtl broken\nKd 1 x 0\n";
  };
  const Decoded cases[] = {
      {"obj_quad_as_fan_with_slashes_and_comments",
       "# square\no part\nv 0 0 0\nv 1 0 0\nv 1 1 0 1.0\nv 0 1 0 0.5 0.5 0.5\n"
       "vt 0 0\nvn 0 0 1\nf 1/1/1 2//1 3/1 4 # quad\n",
       "m.obj", Points{kO, kX, kXY, kO, kXY, kY}},
      {"obj_negative_indices_crlf_and_two_objects",
       "o a\r\nv 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\nf -3 -2 -1\r\ng b\r\nv 1 1 0\r\nf 2 4 3", "m.obj",
       Points{kO, kX, kY, kX, kXY, kY}},
      {"ply_ascii_extra_elements_and_properties",
       "ply\r\nformat ascii 1.0\r\nelement vertex 4\r\nproperty float x\r\n"
       "property float y\r\nproperty float z\r\nproperty uchar red\r\nelement edge 1\r\nproperty "
       "int a\r\n"
       "property int b\r\nelement face 1\r\nproperty list uchar int vertex_index\r\n"
       "end_header\r\n0 0 0 255\n1 0 0 0\n1 1 0 9\n0 1 0 1\n0 1\n4 0 1 2 3\n",
       "m.ply", Points{kO, kX, kXY, kO, kXY, kY}},
      {"ply_binary_little_endian", binary_ply(false), "m",
       Points{{0, 0, -1}, {2, 0, -1}, {0, 3, -1}}},
      {"ply_binary_big_endian", binary_ply(true), "m", Points{{0, 0, -1}, {2, 0, -1}, {0, 3, -1}}},
      // A mirroring placement swaps two corners to keep the winding outward.
      {"three_mf_mirrored_and_moved_item",
       three_mf(kTriangleObject, R"(<item objectid="1" transform="-1 0 0 0 1 0 0 0 1 10 20 0"/>)"),
       "m.3mf", Points{{10, 20, 0}, {10, 21, 0}, {9, 20, 0}}},
      {"three_mf_components_nest_their_transforms",
       three_mf(kTriangleObject + R"(<object id="2"><components>)"
                                  R"(<component objectid="1" transform="1 0 0 0 1 0 0 0 1 1 0 0"/>)"
                                  R"(<component objectid="1"/></components></object>)",
                R"(<item objectid="2" transform="2 0 0 0 2 0 0 0 2 0 0 0"/>)"),
       "m.3mf", Points{{2, 0, 0}, {4, 0, 0}, {2, 2, 0}, kO, {2, 0, 0}, {0, 2, 0}}},
      {"three_mf_without_build_places_top_objects_once",
       zip_of({{"3D/3dmodel.model",
                model_xml(kTriangleObject + R"(<object id="2"><components>)"
                                            R"(<component objectid="1"/></components></object>)",
                          "")}},
              ZIP_CM_STORE),
       "no-extension", Points{kO, kX, kY}},
      {"obj_bom_cr_line_ends_continuation_and_a_line_face_skipped",
       "\xEF\xBB\xBFv 0 0 0\rv 1 0 0\rv 1 1 0\rv 0 1 0\rf 1// 2//\rf 1 2 \\\r 3 4\r", "mac.obj",
       Points{kO, kX, kXY, kO, kXY, kY}},
      {"obj_by_content_without_extension", "# exported\n\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n",
       "/dev/stdin", Points{kO, kX, kY}},
      {"ply_bom_an_empty_element_and_a_two_corner_face_skipped",
       "\xEF\xBB\xBF" +
           ply("element vertex 3\n" + kXyz + "element none 0\nproperty int a\n" +
               "element face 2\n" + kFaces + "end_header\n0 0 0\n1 0 0\n0 1 0\n2 0 1\n3 0 1 2\n"),
       "stdin", Points{kO, kX, kY}},
      {"stl_by_content_whatever_the_extension",
       "solid x\nvertex 0 0 0\nvertex 1 0 0\nvertex 0 1 0\n", "m.obj", Points{kO, kX, kY}},
      {"three_mf_object_base_material_and_triangle_overrides",
       three_mf(R"(<basematerials id="5"><base name="r" displaycolor="#FF0000"/>)"
                R"(<base name="g" displaycolor="#00ff00ff"/></basematerials>)"
                R"(<m:colorgroup id="6" )"
                R"(xmlns:m="http://schemas.microsoft.com/3dmanufacturing/material/2015/02">)"
                R"(<m:color color="#0000FF"/><m:color color="#FF0000"/><m:color color="#00FF00"/>)"
                R"(<m:color color="bad"/></m:colorgroup>)"
                R"(<object id="1" pid="5" pindex="1"><mesh>)" +
                    kTwoTriangleVertices +
                    R"(<triangles><triangle v1="0" v2="1" v3="2"/>)"
                    R"(<triangle v1="1" v2="3" v3="2" pid="6" p1="0"/>)"
                    R"(<triangle v1="0" v2="1" v3="3" pid="6" p1="0" p2="1" p3="2"/>)"
                    R"(<triangle v1="0" v2="1" v3="3" pid="6" p1="3"/>)"
                    R"(<triangle v1="0" v2="1" v3="3" pid="9"/>)"
                    R"(</triangles></mesh></object>)",
                R"(<item objectid="1"/>)"),
       "m.3mf", Points{}, Colours{kGreen, kBlue, {85, 85, 85}, kGrey, kGrey}},
      {"three_mf_unpainted_object_before_a_painted_one",
       three_mf(kTriangleObject +
                    R"(<basematerials id="5"><base displaycolor="#0000FF"/></basematerials>)"
                    R"(<object id="2" pid="5"><components><component objectid="1"/>)"
                    R"(</components></object>)"
                    R"(<object id="3" pid="5" pindex="0"><mesh>)" +
                    kTwoTriangleVertices +
                    R"(<triangles><triangle v1="0" v2="1" v3="2"/></triangles></mesh></object>)",
                R"(<item objectid="1"/><item objectid="3"/>)"),
       "m.3mf", Points{}, Colours{kGrey, kBlue}},
      {"ply_face_colours_on_each_fan_triangle",
       ply("element vertex 4\n" + kXyz + "element face 2\n" + kFaces +
           "property uchar red\nproperty uchar green\nproperty uchar blue\nend_header\n"
           "0 0 0\n1 0 0\n1 1 0\n0 1 0\n4 0 1 2 3 255 0 0\n3 0 1 2 0 300 -4\n"),
       "m.ply", Points{}, Colours{kRed, kRed, kGreen}},
      {"ply_vertex_colours_averaged_per_triangle",
       ply("element vertex 4\n" + kXyz +
           "property float red\nproperty float green\nproperty float blue\nelement face 1\n" +
           kFaces +
           "end_header\n0 0 0 1 0 0\n1 0 0 0 1 0\n1 1 0 0 0 1\n0 1 0 1 0.5 1\n4 0 1 2 3\n"),
       "m.ply", Points{}, Colours{{85, 85, 85}, {170, 42, 170}}},
      {"obj_materials_from_the_library",
       "mtllib missing.mtl parts.mtl\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\nusemtl red\n"
       "f 1 2 3\nusemtl  half tone \nf 1 2 3\nusemtl plain\nf 1 2 3\nusemtl broken\n"
       "f 1 2 3\nusemtl red\nf 1 2 3\nusemtl nowhere\nf 1 2 3\n",
       "m.obj", Points{}, Colours{kGrey, kRed, {127, 63, 255}, kGrey, kGrey, kRed, kGrey}},
      {"obj_material_without_a_library", "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl red\nf 1 2 3\n",
       "m.obj", Points{kO, kX, kY}},
      // Bit 15 set and blue in the low bits; clear bits mean no colour.
      {"stl_colours_in_the_attribute_word",
       binary_stl("plain", {0x0000, 0xFC00, 0x801F, 0x83E0 | 0x0010}), "m.stl", Points{},
       Colours{kGrey, kRed, kBlue, {0, 255, 132}}},
      // After "COLOR=" red is in the low bits, and a set bit 15 takes the header's colour.
      {"stl_colours_with_the_header_marker",
       binary_stl(std::string("COLOR=\x10\x20\x30\xff MATERIAL="), {0x001F, 0x8000, 0x7C00}),
       "m.stl", Points{}, Colours{kRed, {0x10, 0x20, 0x30}, kBlue}},
      {"stl_without_colours", binary_stl("solid-ish header", {0, 0}), "m.stl",
       Points{kO, kX, kY, kO, kX, kY}}};
  for (const Decoded& c : cases) {
    SCOPED_TRACE(c.label);
    const Result<Mesh> mesh = decode_model(c.content, c.path, {}, materials);
    ASSERT_TRUE(mesh.ok()) << testing::PrintToString(messages(mesh));
    EXPECT_EQ(c.corners.empty() ? c.corners : corners(mesh.value()), c.corners);
    for (const Triangle& t : mesh->triangles) {
      // Every normal follows the winding: counter-clockwise in the z = 0 plane faces +z.
      if (t.vertices[0].z == 0 && t.vertices[1].z == 0 && t.vertices[2].z == 0) {
        EXPECT_EQ(t.normal, (Vec3{0, 0, 1}));
      }
    }
    EXPECT_FALSE(mesh->source_path.has_value());
    EXPECT_EQ(mesh->colours, c.colours);
    EXPECT_EQ(mesh->normalized().colours, c.colours);
    // Only the files that hold a face of fewer than three corners say so.
    const bool skips = std::string_view(c.label).find("skipped") != std::string_view::npos;
    EXPECT_EQ(mesh->warnings,
              skips ? std::vector<std::string>{"skipped 1 face of fewer than three corners"}
                    : std::vector<std::string>{});
  }
}

struct Hostile {
  const char* label;
  std::string content;
  const char* path;
  Chain chain;
};

const std::string kPlyVertexHeader = ply("element vertex 3\n" + kXyz, "binary_little_endian");
const std::string kThreeVertices(36, '\0');

TEST(HostileModels, FailWithTheReason) {
  const Hostile cases[] = {
      {"unknown_text", "hello world\nsecond line", "notes.txt",
       Chain{"unsupported model format: text beginning \"hello world\" and the extension "
             ".txt"}},
      {"gzip_without_extension", std::string("\x1F\x8B\x08\0", 4), "part",
       Chain{"unsupported model format: a gzip archive and no extension"}},
      {"unknown_binary", std::string("\x89PNH\r\n\x1a\n\0\0", 10), "picture",
       Chain{"unsupported model format: binary content of no known format and no extension"}},
      {"empty", "", "m.obj", Chain{"empty file"}},
      // An image renamed .stl is no model.
      {"jpeg_named_stl", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10) + std::string(200, '\0'),
       "photo.stl", Chain{"unsupported model format: a JPEG image and the extension .stl"}},
      {"png_without_extension", std::string("\x89PNG\r\n\x1a\n\0\0", 10), "picture",
       Chain{"unsupported model format: a PNG image and no extension"}},
      {"binary_stl_with_a_trailing_byte",
       std::string(80, '\0') + std::string("\x01\0\0\0", 4) + std::string(51, '\xFF'), "part.stl",
       Chain{"not a binary STL: the header counts 1 triangles, which take 134 bytes, but the "
             "file has 135",
             "ASCII STL is not valid UTF-8", "invalid utf-8 sequence of 1 bytes from index 84"}},
      {"binary_stl_count_beyond_its_records",
       std::string(80, ' ') + std::string("\xFF\xFF\xFF\xFF", 4) + std::string(100, '\x80'),
       "part.stl",
       Chain{"not a binary STL: the header counts 4294967295 triangles, which take "
             "214748364834 bytes, but the file has 184",
             "ASCII STL is not valid UTF-8", "invalid utf-8 sequence of 1 bytes from index 80"}},
      {"obj_nul_and_long_words_shown_escaped",
       std::string("v 0 0 1\0", 8) + std::string(100, 'x') + "\n", "m.obj",
       Chain{"OBJ line 1", "invalid number '1\\x00xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...'"}},
      {"ply_count_beyond_64_bits", ply("element vertex 18446744073709551615\nend_header\n"),
       "m.ply",
       Chain{"PLY header line 3",
             "element 'vertex' has the count '18446744073709551615', not a whole number from 0 "
             "to 9223372036854775807"}},
      {"extent_beyond_float", "v -3e38 0 0\nv 3e38 0 0\nv 0 1 0\nf 1 2 3\n", "m.obj",
       Chain{"the model spans more than the 32-bit float range"}},
      {"obj_index_zero", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n", "m.obj",
       Chain{"OBJ line 4", "vertex index 0 out of range for 3 vertices"}},
      {"obj_negative_past_start", "v 0 0 0\nv 1 0 0\nf -1 -2 -3\n", "m.obj",
       Chain{"OBJ line 3", "vertex index -3 out of range for 2 vertices"}},
      {"obj_huge_index", "v 0 0 0\nf 1 1 99999999999999999999\n", "m.obj",
       Chain{"OBJ line 2", "invalid vertex index '99999999999999999999'"}},
      {"obj_bad_number", "v 0 0 0\nv 1 0 x\n", "m.OBJ", Chain{"OBJ line 2", "invalid number 'x'"}},
      {"obj_short_vertex", "v 0 0\n", "m.obj",
       Chain{"OBJ line 1", "vertex has fewer than three coordinates"}},
      {"obj_no_faces", "v 0 0 0\nl 1 1\n", "m.obj", Chain{"OBJ file contained no faces"}},
      {"ply_no_end_header", ply("element vertex 1\n"), "m.ply",
       Chain{"PLY header has no end_header line"}},
      {"ply_unknown_format", ply("end_header\n", "binary_middle_endian"), "m.ply",
       Chain{"PLY header line 2", "unknown format"}},
      {"ply_unknown_type", ply("element vertex 1\nproperty half x\nend_header\n"), "m.ply",
       Chain{"PLY header line 4", "unknown property type 'half'"}},
      {"ply_float_list_count",
       ply("element face 1\nproperty list float int vertex_indices\nend_header\n"), "m.ply",
       Chain{"PLY header line 4", "list count type is not an integer type"}},
      {"ply_count_beyond_data",
       ply("element vertex 4000000000\nproperty float x\nend_header\n1234", "binary_little_endian"),
       "m.ply",
       Chain{"PLY element 'vertex'", "claims 4000000000 entries, more than the data holds"}},
      {"ply_truncated_binary", kPlyVertexHeader + "end_header\n" + kThreeVertices.substr(0, 35),
       "m.ply", Chain{"PLY element 'vertex'", "claims 3 entries, more than the data holds"}},
      {"ply_truncated_ascii", ply("element vertex 2\n" + kXyz + "end_header\n0 0 0 1 1\n"), "m.ply",
       Chain{"PLY element 'vertex'", "data ends inside an element"}},
      {"ply_index_out_of_range",
       kPlyVertexHeader + "element face 1\n" + kFaces + "end_header\n" + kThreeVertices + "\x03" +
           pack<std::int32_t>({0, 1, 3}),
       "m.ply",
       Chain{"PLY element 'face'", "face 0", "vertex index 3 out of range for 3 vertices"}},
      {"ply_negative_index",
       kPlyVertexHeader + "element face 1\n" + kFaces + "end_header\n" + kThreeVertices + "\x03" +
           pack<std::int32_t>({0, 1, -1}),
       "m.ply", Chain{"PLY element 'face'", "negative vertex index"}},
      {"ply_list_longer_than_data",
       ply("element face 1\nproperty list uint int vertex_indices\nend_header\n"
           "4000000000 1 2\n"),
       "m.ply", Chain{"PLY element 'face'", "list of 4000000000 items, more than the data holds"}},
      {"ply_entries_without_properties",
       ply("element nothing 9\nend_header\n1 2 3 4 5 6 7 8 9 10\n"), "m.ply",
       Chain{"PLY element 'nothing'", "entries without properties"}},
      {"ply_points_only", kPlyVertexHeader + "end_header\n" + kThreeVertices, "m.ply",
       Chain{"PLY file contained no faces"}},
      {"three_mf_not_zip", "PK\x03\x04 but nothing after", "m.3mf",
       Chain{"3MF package", "not a valid zip archive: Not a zip archive"}},
      {"three_mf_no_model_part", zip_of({{"readme.txt", "hello"}}), "m.3mf",
       Chain{"3MF package", "zip archive holds no 3MF model part 3D/3dmodel.model"}},
      // 300 MiB of spaces deflate to well under a megabyte.
      {"three_mf_zip_bomb",
       zip_of({{"3D/3dmodel.model", model_xml(kTriangleObject, R"(<item objectid="1"/>)") +
                                        std::string(std::size_t{300} << 20, ' ')}}),
       "bomb.3mf",
       Chain{"3MF package", "zip entry 3D/3dmodel.model unpacks to more than 268435456 bytes"}},
      {"three_mf_deep_xml_in_bzip2",
       zip_of({{"3D/3dmodel.model", repeated("", "<a>", 65)}}, ZIP_CM_BZIP2), "m.3mf",
       Chain{"3MF package", "model part 3D/3dmodel.model", "elements nest deeper than 64 levels"}},
      {"three_mf_bad_xml", zip_of({{"3D/3dmodel.model", "<model><resources>"}}), "m.3mf",
       Chain{"3MF package",
             "model part 3D/3dmodel.model is not well-formed XML: no element found at line 1"}},
      {"three_mf_index_out_of_range",
       three_mf(
           R"(<object id="1"><mesh><vertices><vertex x="0" y="0" z="0"/></vertices><triangles>)"
           R"(<triangle v1="0" v2="0" v3="1"/></triangles></mesh></object>)",
           R"(<item objectid="1"/>)"),
       "m.3mf",
       Chain{"3MF package", "model part 3D/model.model", "triangle refers to vertex 1 of 1"}},
      {"three_mf_bad_coordinate",
       three_mf(R"(<object id="1"><mesh><vertices><vertex x="0" y="zero" z="0"/></vertices>)"
                R"(</mesh></object>)",
                ""),
       "m.3mf",
       Chain{"3MF package", "model part 3D/model.model", "vertex",
             "invalid number 'zero' in attribute y"}},
      {"three_mf_missing_object", three_mf(kTriangleObject, R"(<item objectid="7"/>)"), "m.3mf",
       Chain{"3MF package", "no object with id 7"}},
      {"three_mf_component_cycle",
       three_mf(R"(<object id="1"><components><component objectid="1"/></components></object>)",
                R"(<item objectid="1"/>)"),
       "m.3mf", Chain{"3MF package", "components nest deeper than 32 levels"}},
      {"three_mf_instancing_bomb",
       three_mf(kTriangleObject + instancing_bomb(), R"(<item objectid="5"/>)"), "m.3mf",
       Chain{"3MF package", "the build places more than 1048576 objects"}},
      {"three_mf_bad_transform",
       three_mf(kTriangleObject, R"(<item objectid="1" transform="1 0 0"/>)"), "m.3mf",
       Chain{"3MF package", "model part 3D/model.model", "placement of an object",
             "transform is not twelve numbers"}},
      {"three_mf_duplicate_object", three_mf(kTriangleObject + kTriangleObject, ""), "m.3mf",
       Chain{"3MF package", "model part 3D/model.model", "object id 1 appears twice"}},
      {"three_mf_empty_build", three_mf("", ""), "m.3mf",
       Chain{"3MF package", "3MF model contained no triangles"}}};
  for (const Hostile& c : cases)
    EXPECT_EQ(messages(decode_model(c.content, c.path)), c.chain) << c.label;
}

TEST(TriangleBudget, GrowsWithTheFileAndEveryFormatStopsAtIt) {
  EXPECT_EQ(triangle_budget(10), kMinTriangleBudget);
  EXPECT_EQ(triangle_budget(1'000'000), 4'000'000u);
  EXPECT_EQ(triangle_budget(UINT64_MAX), kMaxTriangles);
  EXPECT_EQ(triangle_budget(UINT64_MAX, {.max_triangles = 7}), 7u);
  const std::string refused =
      "model has more than 1000 triangles, the limit (set FACETVIEW_MAX_TRIANGLES to raise it)";
  std::string object = kTriangleObject;
  object.insert(object.find("</triangles>"),
                repeated("", R"(<triangle v1="0" v2="1" v3="2"/>)", 1000));
  const std::string ply_face = ply("element vertex 1\n" + kXyz + "element face 1\n" +
                                   "property list ushort int vertex_indices\nend_header\n0 0 0\n");
  const std::string items = repeated("", R"(<item objectid="1"/>)", 1001);
  // One polygon of 1003 corners makes 1001 triangles; 1002 corners make 1000.
  const std::tuple<std::string, const char*, Chain> cases[] = {
      {repeated("v 0 0 0\nf", " 1", 1003), "m.obj", {"OBJ line 2", refused}},
      {repeated("v 0 0 0\nf", " 1", 1002), "m.obj", {}},
      {repeated(ply_face + "1003", " 0", 1003), "m.ply", {"PLY element 'face'", refused}},
      {three_mf(object, ""), "m.3mf", {"3MF package", "model part 3D/model.model", refused}},
      {three_mf(kTriangleObject, items), "m.3mf", {"3MF package", refused}},
      {repeated("solid s\n", "vertex 0 0 0\n", 3003), "m.stl", {refused}}};
  for (const auto& [content, path, chain] : cases)
    EXPECT_EQ(messages(decode_model(content, path, {.max_triangles = 1000})), chain) << path;
}

TEST(ModelFormats, ContentDecidesBeforeExtension) {
  using Format = std::optional<ModelFormat>;
  const std::tuple<const char*, const char*, Format, Format> cases[] = {
      {"PK\x03\x04", "a.stl", ModelFormat::three_mf, ModelFormat::stl},
      {"ply\nformat", "a.OBJ", ModelFormat::ply, ModelFormat::obj},
      {"ply-ish", "a.Ply", std::nullopt, ModelFormat::ply},
      {"solid part", "a.3MF", ModelFormat::stl, ModelFormat::three_mf},
      {"solidify", "a.txt", std::nullopt, std::nullopt},
      {"v 0 0 0", "a.stl.bak", std::nullopt, std::nullopt},
      {"\xEF\xBB\xBFply\r\n", "a", ModelFormat::ply, std::nullopt},
  };
  for (const auto& [content, path, from_content, from_extension] : cases) {
    EXPECT_EQ(format_from_content(content), from_content) << content;
    EXPECT_EQ(format_from_extension(path), from_extension) << path;
  }
}

TEST(ArrayMeshes, ItemTypesFollowTheStructFormat) {
  using K = ItemType::Kind;
  using T = std::tuple<const char*, std::size_t, std::optional<std::pair<K, bool>>>;
  for (const auto& [format, size, kind] :
       {T{"<d", 8, std::pair(K::real, false)}, T{">f", 4, std::pair(K::real, true)},
        T{"!q", 8, std::pair(K::signed_integer, true)},
        T{"l", 8, std::pair(K::signed_integer, false)},
        T{"=I", 4, std::pair(K::unsigned_integer, false)}, T{"f", 8, {}}, T{"q", 3, {}},
        T{"P", 8, {}}, T{"ff", 8, {}}, T{"", 4, {}}, T{"T{f:x:}", 4, {}}, T{"<", 4, {}}}) {
    const std::optional<ItemType> type = item_type_from_format(format, size);
    EXPECT_EQ(type ? std::optional(std::pair(type->kind, type->swapped)) : std::nullopt, kind)
        << format;
  }
}

TEST(ArrayMeshes, BadNumbersAndIndicesAreRefused) {
  const std::string floats = pack<float>({0, 0, 0, 1, 0, 0, 0, 1, 0});
  const PackedArray vertices{floats, *item_type_from_format("f", 4)};
  const auto with_faces = [&](std::string faces, const char* format, std::size_t size) {
    return messages(
        mesh_from_arrays(vertices, PackedArray{faces, *item_type_from_format(format, size)}, "m"));
  };
  EXPECT_EQ(with_faces(pack<std::int8_t>({0, 1, -1}), "b", 1),
            (Chain{"face 0 has a negative vertex index"}));
  EXPECT_EQ(with_faces(pack<std::uint32_t>({0, 1, 2, 0, 1, 0xffffffff}), "I", 4),
            (Chain{"face 1", "vertex index 4294967295 out of range for 3 vertices"}));
  const Chain not_a_float{
      "vertex 1 has a coordinate that is NaN, infinite or beyond the 32-bit float range"};
  for (const double bad :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(), 1e300}) {
    const std::string points = pack<double>({0, 0, 0, 1, bad, 0, 0, 1, 0});
    EXPECT_EQ(
        messages(mesh_from_arrays({points, *item_type_from_format("d", 8)}, std::nullopt, "m")),
        not_a_float);
  }
  const std::string four = pack<float>({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 1});
  EXPECT_EQ(
      messages(mesh_from_arrays({four, vertices.type}, std::nullopt, "m")),
      (Chain{"without faces the vertices are taken three at a time as triangles, but 4 is not a "
             "multiple of 3"}));
}

// Float colours per vertex are clamped to [0, 1] and averaged over each triangle.
TEST(ArrayMeshes, FloatColoursPerVertexAreClampedAndAveraged) {
  const std::string vertices = pack<float>({0, 0, 0, 1, 0, 0, 0, 1, 0, 1, 1, 0});
  const std::string faces = pack<std::int32_t>({0, 1, 3, 0, 3, 2});
  const std::string colours = pack<double>({0, 0, 0, 1, 1, 1, 2, -1, 0.5, 0.5, 0.5, 0.5});
  const Result<Mesh> mesh =
      mesh_from_arrays({vertices, *item_type_from_format("f", 4)},
                       PackedArray{faces, *item_type_from_format("i", 4)}, "m",
                       PackedArray{colours, *item_type_from_format("d", 8)});
  EXPECT_EQ(mesh->colours, (std::vector<FaceColour>{{127, 127, 127}, {127, 42, 85}}));
}

}  // namespace
}  // namespace facetview
