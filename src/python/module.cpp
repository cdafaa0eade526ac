// The module initialiser: the one symbol that the shared object exports.
#include "python/python.hpp"

#include <cstdint>
#include <optional>

#include "python/module_types.hpp"
#include "python/py_camera.hpp"
#include "python/py_mesh.hpp"
#include "python/py_module_functions.hpp"
#include "python/py_orbit_camera.hpp"
#include "python/py_surface.hpp"
#include "python/py_viewport.hpp"
#include "python/shared_constants.hpp"

namespace facetview {
namespace {

// Private functions only, for the facetview package. No per-module state (m_size 0): the
// interpreter then calls the initialiser again for every new import, also from a subinterpreter,
// where it is refused.
PyModuleDef module_definition = {
    .m_base = PyModuleDef_HEAD_INIT,
    .m_name = "_facetview",
    .m_doc = "",
    .m_size = 0,
    .m_methods = module_functions,
    .m_slots = nullptr,
    .m_traverse = nullptr,
    .m_clear = nullptr,
    .m_free = nullptr,
};

// Created once per interpreter; a later initialisation returns the same object.
PyObject* the_module = nullptr;
// Marks, in the interpreter's own dictionary, the interpreter that created the
// module and its types. A program that embeds Python and initialises a new
// interpreter after finalising the old one finds no mark and gets new ones.
constexpr const char* kCreatorMark = "facetview._facetview";
// The interpreter of the first import: the types and records are not isolated
// per interpreter, so no other interpreter may use them.
std::optional<std::int64_t> owning_interpreter;

bool in_owning_interpreter() {
  const std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id == -1) return false;
  if (!owning_interpreter) owning_interpreter = id;
  if (*owning_interpreter == id) return true;
  PyErr_SetString(PyExc_ImportError,
                  "the facetview._facetview module does not support subinterpreters");
  return false;
}

bool append_to_all(PyObject* module, const char* name) {
  OwnedRef all(PyObject_GetAttrString(module, "__all__"));
  if (all == nullptr) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all.reset(PyList_New(0));
    if (all == nullptr || PyObject_SetAttrString(module, "__all__", all.get()) != 0) return false;
  }
  const OwnedRef text(PyUnicode_FromString(name));
  return text != nullptr && PyList_Append(all.get(), text.get()) == 0;
}

bool add_class(PyObject* module, const char* name, PyTypeObject*& type,
               PyTypeObject* (*create_type)()) {
  if (type == nullptr) type = create_type();
  if (type == nullptr || !append_to_all(module, name)) return false;
  return PyObject_SetAttrString(module, name, reinterpret_cast<PyObject*>(type)) == 0;
}

PyObject* create_module() {
  OwnedRef module(PyModule_Create(&module_definition));
  if (module == nullptr) return nullptr;
  ModuleTypes& types = module_types();
  const bool complete =
      add_class(module.get(), "Viewport", types.viewport, create_viewport_type) &&
      add_class(module.get(), "Camera", types.camera, create_camera_type) &&
      add_class(module.get(), "Mesh", types.mesh, create_mesh_type) &&
      add_class(module.get(), "Surface", types.surface, create_surface_type) &&
      add_class(module.get(), "OrbitCamera", types.orbit_camera, create_orbit_camera_type) &&
      add_shared_constants(module.get());
  return complete ? module.release() : nullptr;
}

PyObject* initialise_module() {
  if (!in_owning_interpreter()) return nullptr;
  PyObject* marks = PyInterpreterState_GetDict(PyInterpreterState_Get());
  if (marks == nullptr) {
    PyErr_SetString(PyExc_ImportError, "the interpreter keeps no state of its own");
    return nullptr;
  }
  if (PyDict_GetItemString(marks, kCreatorMark) == nullptr) {
    // Any module and types from before belong to a finalised interpreter:
    // they stay with it, unused and unreleased.
    module_types() = ModuleTypes{};
    the_module = nullptr;
    OwnedRef module(create_module());
    if (module == nullptr || PyDict_SetItemString(marks, kCreatorMark, Py_True) != 0) {
      return nullptr;
    }
    the_module = module.release();
  }
  Py_INCREF(the_module);
  return the_module;
}

}  // namespace

ModuleTypes& module_types() {
  static ModuleTypes types;
  return types;
}

}  // namespace facetview

PyMODINIT_FUNC PyInit__facetview() {
  return facetview::initialise_module();
}
