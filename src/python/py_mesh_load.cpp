#include "python/py_mesh_load.hpp"

#include <string>

#include "python/arguments.hpp"
#include "python/error_mapping.hpp"
#include "python/module_types.hpp"
#include "python/py_mesh.hpp"
#include "stl/model_decoder.hpp"

namespace facetview {
namespace {

constexpr const char* kLoadNames[] = {"path"};
constexpr Parameters kLoadParameters{"Mesh.load()", kLoadNames, 1};

// The file-system bytes of a str or os.PathLike path (str through the file
// system encoding, so undecodable names survive), and its text for messages.
bool convert_path(PyObject* argument, std::filesystem::path& path, std::string& text) {
  // A wrong type raises the interpreter's own TypeError here.
  OwnedRef fspath(PyOS_FSPath(argument));
  if (fspath == nullptr) return false;
  OwnedRef bytes;
  if (PyUnicode_Check(fspath.get())) {
    bytes.reset(PyUnicode_EncodeFSDefault(fspath.get()));
  } else {
    bytes.reset(fspath.release());
  }
  if (bytes == nullptr) return false;
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes.get(), &data, &size) != 0) return false;
  path = std::string(data, static_cast<std::size_t>(size));
  const OwnedRef shown(PyObject_Str(argument));
  if (shown == nullptr) return false;
  const OwnedRef utf8(PyUnicode_AsEncodedString(shown.get(), "utf-8", "replace"));
  if (utf8 == nullptr || PyBytes_AsStringAndSize(utf8.get(), &data, &size) != 0) return false;
  text.assign(data, static_cast<std::size_t>(size));
  return true;
}

PyObject* float_tuple(Vec3 v) {
  return Py_BuildValue("(ddd)", static_cast<double>(v.x), static_cast<double>(v.y),
                       static_cast<double>(v.z));
}

}  // namespace

PyObject* new_mesh_object(Mesh mesh) {
  return new_instance(module_types().mesh, std::make_unique<Mesh>(std::move(mesh)));
}

PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(kLoadParameters, args, kwargs, matched)) return nullptr;
    std::filesystem::path path;
    std::string text;
    if (!convert_path(matched[0], path, text)) return nullptr;
    Result<Mesh> read = load_model(path);
    if (!read) {
      return raise_runtime_error(
          std::move(read).error().with_context("failed to load model from " + text));
    }
    return new_mesh_object(read->normalized());
  });
}

PyObject* get_mesh_size(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  return float_tuple(mesh->record->size);
}

PyObject* get_mesh_source_path(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  if (!mesh->record->source_path) Py_RETURN_NONE;
  const std::string& native = mesh->record->source_path->native();
  return PyUnicode_DecodeFSDefaultAndSize(native.data(), static_cast<Py_ssize_t>(native.size()));
}

}  // namespace facetview
