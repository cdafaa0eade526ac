#include "python/py_mesh_load.hpp"

#include <string>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/module_types.hpp"
#include "python/py_mesh.hpp"
#include "python/signal_handlers.hpp"

namespace facetview {
namespace {

constexpr const char* kLoadNames[] = {"path"};
constexpr Parameters kLoadParameters{"Mesh.load()", kLoadNames, 1};

}  // namespace

PyObject* new_mesh_object(Mesh mesh) {
  return new_instance(module_types().mesh, std::make_unique<Mesh>(std::move(mesh)));
}

PyObject* load_mesh_file(const Parameters& parameters, PyObject* args, PyObject* kwargs,
                         const char* failure, AcceptedFormats accepted) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(parameters, args, kwargs, matched)) return nullptr;
    std::string path;
    if (!convert_path(matched[0], "path", path)) return nullptr;
    // Ctrl-C ends a read that never ends, such as one of /dev/zero or a FIFO.
    Result<Mesh> read =
        load_normalized_model(std::filesystem::path(path), python_signal_handlers(), accepted);
    if (!read) {
      // The loader's reason becomes the exception's __cause__.
      return raise_error(std::move(read).error().with_context(failure + path), matched[0]);
    }
    return new_mesh_object(std::move(*read));
  });
}

PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs) {
  return load_mesh_file(kLoadParameters, args, kwargs, "failed to load model from ",
                        AcceptedFormats::any);
}

}  // namespace facetview
