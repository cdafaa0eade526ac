#include "python/py_mesh.hpp"

#include <string>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/py_mesh_load.hpp"
#include "python/quoted_name.hpp"

namespace facetview {
namespace {

constexpr const char* kFromStlNames[] = {"path"};
constexpr Parameters kFromStlParameters{"Mesh.from_stl()", kFromStlNames, 1};

// Instances come only from the static methods.
PyObject* mesh_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "No constructor defined for Mesh");
  return nullptr;
}

PyObject* mesh_demo(PyObject*, PyObject*) {
  return without_cpp_exceptions([] { return new_mesh_object(Mesh::demo_mesh()); });
}

PyObject* mesh_from_stl(PyObject*, PyObject* args, PyObject* kwargs) {
  return load_mesh_file(
      kFromStlParameters, args, kwargs, "failed to load STL from ",
      [](const std::filesystem::path& path, Interruption& interruption) {
        return Mesh::normalized_from_path(path, interruption);
      },
      kLegacyStrName);
}

PyObject* get_name(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  const std::string& name = mesh->record->name;
  return PyUnicode_DecodeUTF8(name.data(), static_cast<Py_ssize_t>(name.size()), "replace");
}

PyObject* get_triangle_count(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  return PyLong_FromSize_t(mesh->record->triangles.size());
}

PyObject* mesh_repr(PyObject* self) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyMesh* mesh = as_instance<Mesh>(self);
    const Borrow borrow(mesh->borrow, Access::shared);
    if (!borrow) return nullptr;
    const std::string text = "Mesh(name=" + quoted_name(mesh->record->name) +
                             ", triangles=" + std::to_string(mesh->record->triangles.size()) + ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

PyMethodDef mesh_methods[] = {
    {"demo", as_py_cfunction(mesh_demo), METH_NOARGS | METH_STATIC, "demo()\n--\n\n"},
    {"from_stl", as_py_cfunction(mesh_from_stl), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "from_stl(path)\n--\n\n"},
    {"load", as_py_cfunction(mesh_load), METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "load(path)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef mesh_getset[] = {
    {"name", get_name, nullptr, nullptr, nullptr},
    {"triangle_count", get_triangle_count, nullptr, nullptr, nullptr},
    {"size", get_mesh_size, nullptr, nullptr, nullptr},
    {"source_path", get_mesh_source_path, nullptr, nullptr, nullptr},
    {"warnings", get_mesh_warnings, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// No Py_tp_doc: the class has no signature and its __doc__ is None.
PyType_Slot mesh_slots[] = {
    {Py_tp_new, as_slot(mesh_new)},   {Py_tp_dealloc, as_slot(dealloc_instance<Mesh>)},
    {Py_tp_repr, as_slot(mesh_repr)}, {Py_tp_methods, mesh_methods},
    {Py_tp_getset, mesh_getset},      {0, nullptr},
};

}  // namespace

PyTypeObject* create_mesh_type() {
  return create_instance_type<Mesh>("builtins.Mesh", mesh_slots);
}

}  // namespace facetview
