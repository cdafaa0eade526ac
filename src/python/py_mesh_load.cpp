#include "python/py_mesh_load.hpp"

#include <filesystem>
#include <string>

#include "model/load_limits.hpp"
#include "model/model_decoder.hpp"
#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/interpreter_unlocked.hpp"
#include "python/py_mesh.hpp"
#include "python/signal_handlers.hpp"

namespace facetview {
namespace {

constexpr const char* kPathNames[] = {"path"};

// What sets the methods that load a file apart; one path argument each.
struct FileLoad {
  Parameters parameters;
  const char* failure;  // the context that a failure gets in front of the path
  AcceptedFormats accepted;
  // Mesh.from_stl loads within the default limits; Mesh.load lets the
  // environment raise or lower them.
  bool limits_from_environment;
  const char* str_name;  // names a path of the wrong type (see convert_text)
};

constexpr FileLoad kFromStl{{"Mesh.from_stl()", kPathNames, 1},
                            "failed to load STL from ",
                            AcceptedFormats::stl,
                            false,
                            kLegacyStrName};
constexpr FileLoad kLoad{{"Mesh.load()", kPathNames, 1},
                         "failed to load model from ",
                         AcceptedFormats::any,
                         true,
                         kStrName};

Result<Mesh> load_normalized(const std::filesystem::path& path, const FileLoad& load) {
  LoadLimits limits;
  if (load.limits_from_environment) {
    Result<LoadLimits> from_environment = load_limits_from_environment();
    if (!from_environment) return std::move(from_environment).error();
    limits = *from_environment;
  }
  // Ctrl-C ends a read that never ends, such as one of /dev/zero or a FIFO.
  return load_normalized_model(path, python_signal_handlers(), limits, load.accepted);
}

PyObject* load_mesh_file(const FileLoad& load, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(load.parameters, args, kwargs, matched)) return nullptr;
    std::string path;
    if (!convert_path(matched[0], "path", path, load.str_name)) return nullptr;
    // Other threads run while the file is read and decoded.
    Result<Mesh> read = [&] {
      const InterpreterUnlocked unlocked;
      return load_normalized(std::filesystem::path(path), load);
    }();
    if (!read) {
      // The loader's reason becomes the exception's __cause__.
      return raise_error(std::move(read).error().with_context(load.failure + path), matched[0]);
    }
    return new_mesh_object(std::move(*read));
  });
}

}  // namespace

PyObject* mesh_from_stl(PyObject*, PyObject* args, PyObject* kwargs) {
  return load_mesh_file(kFromStl, args, kwargs);
}

PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs) {
  return load_mesh_file(kLoad, args, kwargs);
}

}  // namespace facetview
