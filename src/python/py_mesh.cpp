#include "python/py_mesh.hpp"

#include <string>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/module_types.hpp"
#include "python/quoted_name.hpp"
#include "python/signal_handlers.hpp"

namespace facetview {
namespace {

constexpr const char* kFromStlNames[] = {"path"};
constexpr Parameters kFromStlParameters{"Mesh.from_stl()", kFromStlNames, 1};

PyObject* wrap(Mesh mesh) {
  return new_instance(module_types().mesh, std::make_unique<Mesh>(std::move(mesh)));
}

// Instances come only from the static methods.
PyObject* mesh_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "No constructor defined for Mesh");
  return nullptr;
}

PyObject* mesh_demo(PyObject*, PyObject*) {
  return without_cpp_exceptions([] { return wrap(Mesh::demo_mesh()); });
}

PyObject* mesh_from_stl(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[1];
    if (!match_arguments(kFromStlParameters, args, kwargs, matched)) return nullptr;
    std::string path;
    if (!convert_path(matched[0], "path", path)) return nullptr;
    // Ctrl-C ends a read that never ends, such as one of /dev/zero or a FIFO.
    Result<Mesh> read =
        Mesh::normalized_from_path(std::filesystem::path(path), python_signal_handlers());
    if (!read) {
      // The reader's reason becomes the exception's __cause__.
      return raise_error(std::move(read).error().with_context("failed to load STL from " + path),
                         matched[0]);
    }
    return wrap(std::move(*read));
  });
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
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef mesh_getset[] = {
    {"name", get_name, nullptr, nullptr, nullptr},
    {"triangle_count", get_triangle_count, nullptr, nullptr, nullptr},
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
