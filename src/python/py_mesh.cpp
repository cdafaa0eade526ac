#include "python/py_mesh.hpp"

#include <memory>
#include <string>
#include <vector>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/module_types.hpp"
#include "python/py_mesh_load.hpp"
#include "python/quoted_name.hpp"

namespace facetview {
namespace {

// Instances come only from the static methods.
PyObject* mesh_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "No constructor defined for Mesh");
  return nullptr;
}

PyObject* mesh_demo(PyObject*, PyObject*) {
  return without_cpp_exceptions([] { return new_mesh_object(Mesh::demo_mesh()); });
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

PyObject* float_tuple(Vec3 v) {
  return Py_BuildValue("(ddd)", static_cast<double>(v.x), static_cast<double>(v.y),
                       static_cast<double>(v.z));
}

// (x, y, z) extents before normalization, as floats.
PyObject* get_size(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  return float_tuple(mesh->record->size);
}

// A tuple of one-line texts about what the reader left out.
PyObject* get_warnings(PyObject* self, void*) {
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

// The path the mesh was read from as a str, or None.
PyObject* get_source_path(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  if (!mesh->record->source_path) Py_RETURN_NONE;
  const std::string& native = mesh->record->source_path->native();
  return PyUnicode_DecodeFSDefaultAndSize(native.data(), static_cast<Py_ssize_t>(native.size()));
}

PyObject* get_has_colours(PyObject* self, void*) {
  PyMesh* mesh = as_instance<Mesh>(self);
  const Borrow borrow(mesh->borrow, Access::shared);
  if (!borrow) return nullptr;
  return PyBool_FromLong(!mesh->record->colours.empty());
}

// The same mesh drawn in the plain shading: for a viewer that turns colours off.
PyObject* mesh_without_colours(PyObject* self, PyObject*) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyMesh* mesh = as_instance<Mesh>(self);
    const Borrow borrow(mesh->borrow, Access::shared);
    if (!borrow) return nullptr;
    Mesh plain;
    plain.name = mesh->record->name;
    plain.triangles = mesh->record->triangles;
    plain.source_path = mesh->record->source_path;
    plain.size = mesh->record->size;
    plain.warnings = mesh->record->warnings;
    return new_mesh_object(std::move(plain));
  });
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
    {"without_colors", as_py_cfunction(mesh_without_colours), METH_NOARGS,
     "without_colors($self)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef mesh_getset[] = {
    {"name", get_name, nullptr, nullptr, nullptr},
    {"triangle_count", get_triangle_count, nullptr, nullptr, nullptr},
    {"size", get_size, nullptr, nullptr, nullptr},
    {"source_path", get_source_path, nullptr, nullptr, nullptr},
    {"warnings", get_warnings, nullptr, nullptr, nullptr},
    {"has_colors", get_has_colours, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// No Py_tp_doc: the class has no signature and its __doc__ is None.
PyType_Slot mesh_slots[] = {
    {Py_tp_new, as_slot(mesh_new)},   {Py_tp_dealloc, as_slot(dealloc_instance<Mesh>)},
    {Py_tp_repr, as_slot(mesh_repr)}, {Py_tp_methods, mesh_methods},
    {Py_tp_getset, mesh_getset},      {0, nullptr},
};

}  // namespace

PyObject* new_mesh_object(Mesh mesh) {
  return new_instance(module_types().mesh, std::make_unique<Mesh>(std::move(mesh)));
}

PyTypeObject* create_mesh_type() {
  return create_instance_type<Mesh>("builtins.Mesh", mesh_slots);
}

}  // namespace facetview
