#include "python/py_mesh_load.hpp"

#include <string>
#include <vector>

#include "model/model_decoder.hpp"
#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/interpreter_unlocked.hpp"
#include "python/module_types.hpp"
#include "python/py_mesh.hpp"
#include "python/signal_handlers.hpp"

namespace facetview {
namespace {

constexpr const char* kLoadNames[] = {"path"};
constexpr Parameters kLoadParameters{"Mesh.load()", kLoadNames, 1};

PyObject* float_tuple(Vec3 v) {
  return Py_BuildValue("(ddd)", static_cast<double>(v.x), static_cast<double>(v.y),
                       static_cast<double>(v.z));
}

}  // namespace

PyObject* new_mesh_object(Mesh mesh) {
  return new_instance(module_types().mesh, std::make_unique<Mesh>(std::move(mesh)));
}

PyObject* load_mesh_file(const Parameters& parameters, PyObject* args, PyObject* kwargs,
                         const char* failure, MeshLoader loader, const char* str_name) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(parameters, args, kwargs, matched)) return nullptr;
    std::string path;
    if (!convert_path(matched[0], "path", path, str_name)) return nullptr;
    // Other threads run while the file is read and decoded, and Ctrl-C ends a
    // read that never ends, such as one of /dev/zero or a FIFO.
    Result<Mesh> read = [&] {
      const InterpreterUnlocked unlocked;
      return loader(std::filesystem::path(path), python_signal_handlers());
    }();
    if (!read) {
      // The loader's reason becomes the exception's __cause__.
      return raise_error(std::move(read).error().with_context(failure + path), matched[0]);
    }
    return new_mesh_object(std::move(*read));
  });
}

PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs) {
  return load_mesh_file(kLoadParameters, args, kwargs, "failed to load model from ",
                        [](const std::filesystem::path& path, Interruption& interruption) {
                          Result<LoadLimits> limits = load_limits_from_environment();
                          if (!limits) return Result<Mesh>(std::move(limits).error());
                          Result<Mesh> mesh = load_model(path, interruption, *limits);
                          if (!mesh) return mesh;
                          return Result<Mesh>(std::move(*mesh).normalized());
                        });
}

PyObject* get_mesh_size(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  return float_tuple(mesh->record->size);
}

PyObject* get_mesh_warnings(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  const std::vector<std::string>& warnings = mesh->record->warnings;
  OwnedRef tuple(PyTuple_New(static_cast<Py_ssize_t>(warnings.size())));
  if (tuple == nullptr) return nullptr;
  for (std::size_t i = 0; i < warnings.size(); ++i) {
    PyObject* text = PyUnicode_DecodeUTF8(warnings[i].data(),
                                          static_cast<Py_ssize_t>(warnings[i].size()), "replace");
    if (text == nullptr) return nullptr;
    PyTuple_SetItem(tuple.get(), static_cast<Py_ssize_t>(i), text);  // steals the reference
  }
  return tuple.release();
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
