#include "python/py_module_functions.hpp"

#include <optional>
#include <string>
#include <vector>

#include "common/terminal_text.hpp"
#include "model/array_mesh.hpp"
#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/interpreter_unlocked.hpp"
#include "python/module_types.hpp"
#include "python/py_mesh.hpp"
#include "python/py_orbit_camera.hpp"
#include "raster/renderer.hpp"
#include "surface/png_file.hpp"

namespace facetview {
namespace {

constexpr const char* kArraysNames[] = {"vertices",      "vertex_format",   "vertex_item_size",
                                        "faces",         "face_format",     "face_item_size",
                                        "name",          "normalize",       "colours",
                                        "colour_format", "colour_item_size"};
constexpr Parameters kArraysParameters{"_mesh_from_arrays()", kArraysNames, 8};

constexpr const char* kRenderNames[] = {"mesh", "camera", "width", "height", "edges"};
constexpr Parameters kRenderParameters{"render()", kRenderNames, 4};

constexpr const char* kSavePngNames[] = {"path", "mesh", "camera", "width", "height", "edges"};
constexpr Parameters kSavePngParameters{"save_png()", kSavePngNames, 5};

constexpr const char* kMoveCursorNames[] = {"row", "col"};
constexpr Parameters kMoveCursorParameters{"_move_cursor()", kMoveCursorNames, 2};

void raise_value_error(const std::string& message) {
  const OwnedRef text(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text != nullptr) PyErr_SetObject(PyExc_ValueError, text.get());
}

// What one packed array must hold.
enum class Numbers { reals, integers, colour_channels };

bool holds(const ItemType& type, Numbers wanted) {
  switch (wanted) {
    case Numbers::reals:
      return type.kind == ItemType::Kind::real;
    case Numbers::integers:
      return type.kind != ItemType::Kind::real;
    case Numbers::colour_channels:
      return type.kind == ItemType::Kind::real ||
             (type.kind == ItemType::Kind::unsigned_integer && type.size == 1);
  }
  return false;
}

const char* wanted_text(Numbers wanted) {
  switch (wanted) {
    case Numbers::reals:
      return "float32 or float64 numbers";
    case Numbers::integers:
      return "integers";
    case Numbers::colour_channels:
      return "uint8 or float numbers";
  }
  return "numbers";
}

// The bytes, format and item size of one packed array; false with the error
// set when they do not describe numbers of the wanted kind.
bool convert_packed(PyObject* bytes, PyObject* format, PyObject* item_size, const char* what,
                    Numbers wanted, PackedArray& out) {
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes, &data, &size) != 0) return false;
  std::string format_text;
  if (!convert_text(format, "format", format_text)) return false;
  const Py_ssize_t item_bytes = PyLong_AsSsize_t(item_size);
  if (item_bytes == -1 && PyErr_Occurred()) return false;
  const std::optional<ItemType> type =
      item_bytes > 0 ? item_type_from_format(format_text, static_cast<std::size_t>(item_bytes))
                     : std::nullopt;
  if (!type || !holds(*type, wanted)) {
    const std::string message = std::string(what) + " must hold " + wanted_text(wanted) +
                                ", not items of format '" + format_text + "'";
    PyErr_SetString(PyExc_TypeError, message.c_str());
    return false;
  }
  out = PackedArray{std::string_view(data, static_cast<std::size_t>(size)), *type};
  return true;
}

// An optional packed array: absent (null or None) leaves `out` empty.
bool convert_optional_packed(PyObject* bytes, PyObject* format, PyObject* item_size,
                             const char* what, Numbers wanted, std::optional<PackedArray>& out) {
  if (bytes == nullptr || bytes == Py_None) return true;
  out.emplace();
  return convert_packed(bytes, format, item_size, what, wanted, *out);
}

PyObject* packed_mesh(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* m[11] = {};
    if (!match_arguments(kArraysParameters, args, kwargs, m)) return nullptr;
    PackedArray vertices{};
    if (!convert_packed(m[0], m[1], m[2], "vertices", Numbers::reals, vertices)) return nullptr;
    std::optional<PackedArray> faces;
    if (!convert_optional_packed(m[3], m[4], m[5], "faces", Numbers::integers, faces)) {
      return nullptr;
    }
    std::string name;
    if (!convert_text(m[6], "name", name)) return nullptr;
    const int normalize = PyObject_IsTrue(m[7]);
    if (normalize < 0) return nullptr;
    std::optional<PackedArray> colours;
    if (m[8] != nullptr && (m[9] == nullptr || m[10] == nullptr)) {
      PyErr_SetString(PyExc_TypeError, "colours need their format and item size");
      return nullptr;
    }
    if (!convert_optional_packed(m[8], m[9], m[10], "colors", Numbers::colour_channels, colours)) {
      return nullptr;
    }
    Result<Mesh> mesh = mesh_from_arrays(vertices, faces, std::move(name), colours);
    if (!mesh) {
      raise_value_error(mesh.error().message() +
                        (mesh.error().cause() ? ": " + mesh.error().cause()->message() : ""));
      return nullptr;
    }
    return new_mesh_object(normalize ? mesh->normalized() : std::move(*mesh));
  });
}

// A frame side in pixels: an int from 1 to 65535; ValueError naming the side otherwise.
bool convert_side(PyObject* argument, const char* name, std::uint32_t& out) {
  std::uint16_t side = 0;
  if (!convert_u16(argument, name, side)) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return false;
    PyErr_Clear();
    raise_value_error(std::string(name) + " must be 1 to 65535 pixels");
    return false;
  }
  if (side == 0) {
    raise_value_error(std::string(name) + " must be at least 1 pixel");
    return false;
  }
  out = side;
  return true;
}

// Frames rendered without a surface reuse one renderer per thread, so a
// script that renders many frames pays for the buffers once. Frames larger
// than this many pixels are not kept after the call.
constexpr std::uint64_t kKeptRendererPixels = std::uint64_t{1} << 22;

Renderer& thread_renderer() {
  thread_local Renderer renderer(1, 1);
  return renderer;
}

// Lets go of a large frame's buffers once it has been handed out.
struct LargeFrameRelease {
  ~LargeFrameRelease() {
    Renderer& renderer = thread_renderer();
    if (std::uint64_t{renderer.width()} * renderer.height() > kKeptRendererPixels) {
      renderer = Renderer(1, 1);
    }
  }
};

// Renders the mesh and camera of arguments[0] and [1] at the size of
// arguments[2] and [3] into this thread's renderer; null with the error set.
const Renderer* render_frame(PyObject* const* arguments) {
  const ModuleTypes& types = module_types();
  if (!check_instance(arguments[0], types.mesh, "mesh")) return nullptr;
  PyMesh* mesh = as_instance<Mesh>(arguments[0]);
  const Borrow mesh_borrow(mesh->borrow, Access::shared);
  if (!mesh_borrow) return nullptr;
  AnyCamera camera;
  if (!read_any_camera(arguments[1], camera)) return nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  if (!convert_side(arguments[2], "width", width) ||
      !convert_side(arguments[3], "height", height)) {
    return nullptr;
  }
  // Absent or false: the triangles alone.
  const int edges = arguments[4] != nullptr ? PyObject_IsTrue(arguments[4]) : 0;
  if (edges < 0) return nullptr;
  Renderer& renderer = thread_renderer();
  // Other threads run meanwhile; the mesh stays borrowed. A frame too large
  // to allocate throws std::bad_alloc: MemoryError.
  const InterpreterUnlocked unlocked;
  renderer.resize(width, height);
  renderer.render(*mesh->record, camera, Overlays{.edges = edges != 0});
  return &renderer;
}

PyObject* render(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[5];
    if (!match_arguments(kRenderParameters, args, kwargs, matched)) return nullptr;
    const LargeFrameRelease release;
    const Renderer* renderer = render_frame(matched);
    if (renderer == nullptr) return nullptr;
    const std::vector<std::uint8_t>& frame = renderer->framebuffer();
    return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(frame.data()),
                                     static_cast<Py_ssize_t>(frame.size()));
  });
}

PyObject* save_png(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[6];
    if (!match_arguments(kSavePngParameters, args, kwargs, matched)) return nullptr;
    std::string path;
    if (!convert_path(matched[0], "path", path)) return nullptr;
    const LargeFrameRelease release;
    const Renderer* renderer = render_frame(matched + 1);
    if (renderer == nullptr) return nullptr;
    Status saved = [&] {
      const InterpreterUnlocked unlocked;
      Result<std::string> png =
          encode_png(renderer->framebuffer(), renderer->width(), renderer->height());
      return png ? write_whole_file(path, *png) : Status(std::move(png).error());
    }();
    if (!saved) {
      return raise_error(std::move(saved).error().with_context("failed to save PNG to " + path),
                         matched[0]);
    }
    Py_RETURN_NONE;
  });
}

// The package's text goes to the cells the way the presenters' does.
PyObject* move_cursor(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[2];
    if (!match_arguments(kMoveCursorParameters, args, kwargs, matched)) return nullptr;
    std::uint16_t row = 0;
    std::uint16_t col = 0;
    if (!convert_u16(matched[0], "row", row) || !convert_u16(matched[1], "col", col)) {
      return nullptr;
    }
    std::string text;
    append_cursor_position(text, row, col);
    return PyBytes_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

constexpr int kArgumentsFlags = METH_VARARGS | METH_KEYWORDS;

}  // namespace

PyMethodDef module_functions[] = {
    {"_mesh_from_arrays", as_py_cfunction(packed_mesh), kArgumentsFlags,
     "_mesh_from_arrays(vertices, vertex_format, vertex_item_size, faces, face_format, "
     "face_item_size, name, normalize, colours=None, colour_format=None, "
     "colour_item_size=None)\n--\n\n"},
    {"_render", as_py_cfunction(render), kArgumentsFlags,
     "_render(mesh, camera, width, height, edges=False)\n--\n\n"},
    {"_save_png", as_py_cfunction(save_png), kArgumentsFlags,
     "_save_png(path, mesh, camera, width, height, edges=False)\n--\n\n"},
    {"_move_cursor", as_py_cfunction(move_cursor), kArgumentsFlags,
     "_move_cursor(row, col)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

}  // namespace facetview
