#include "python/py_viewport.hpp"

#include <algorithm>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/module_types.hpp"

namespace facetview {
namespace {

constexpr const char* kNewNames[] = {"col", "row", "cols", "rows"};
constexpr Parameters kNewParameters{"Viewport.__new__()", kNewNames, 4};

constexpr const char* kFullScreenNames[] = {"cols", "rows", "reserved_bottom_rows"};
constexpr Parameters kFullScreenParameters{"Viewport.full_screen()", kFullScreenNames, 2};

PyObject* wrap(PyTypeObject* type, Viewport viewport) {
  return new_instance(type, std::make_unique<Viewport>(viewport));
}

PyObject* viewport_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[4];
    if (!match_arguments(kNewParameters, args, kwargs, matched)) return nullptr;
    std::uint16_t values[4];
    for (std::size_t i = 0; i < 4; ++i) {
      if (!convert_u16(matched[i], kNewNames[i], values[i])) return nullptr;
    }
    // A rectangle has at least one cell each way.
    return wrap(type, Viewport{values[0], values[1], std::max<std::uint16_t>(values[2], 1),
                               std::max<std::uint16_t>(values[3], 1)});
  });
}

PyObject* viewport_full_screen(PyObject*, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[3];
    if (!match_arguments(kFullScreenParameters, args, kwargs, matched)) return nullptr;
    std::uint16_t values[3] = {0, 0, 0};
    for (std::size_t i = 0; i < 3; ++i) {
      if (matched[i] != nullptr && !convert_u16(matched[i], kFullScreenNames[i], values[i])) {
        return nullptr;
      }
    }
    const auto [cols, rows, reserved_bottom_rows] = values;
    const auto usable_rows =
        static_cast<std::uint16_t>(rows > reserved_bottom_rows ? rows - reserved_bottom_rows : 0);
    return wrap(module_types().viewport, Viewport{0, 0, std::max<std::uint16_t>(cols, 1),
                                                  std::max<std::uint16_t>(usable_rows, 1)});
  });
}

template <std::uint16_t Viewport::*Field>
PyObject* get_field(PyObject* self, void*) {
  PyViewport* viewport = as_instance<Viewport>(self);
  const Borrow borrow(viewport->borrow, Access::shared);
  if (!borrow) return nullptr;
  return PyLong_FromLong(viewport->record->*Field);
}

PyObject* viewport_repr(PyObject* self) {
  PyViewport* viewport = as_instance<Viewport>(self);
  const Borrow borrow(viewport->borrow, Access::shared);
  if (!borrow) return nullptr;
  const Viewport& v = *viewport->record;
  return PyUnicode_FromFormat("Viewport(col=%u, row=%u, cols=%u, rows=%u)", unsigned{v.col},
                              unsigned{v.row}, unsigned{v.cols}, unsigned{v.rows});
}

PyMethodDef viewport_methods[] = {
    {"full_screen", as_py_cfunction(viewport_full_screen),
     METH_VARARGS | METH_KEYWORDS | METH_STATIC,
     "full_screen(cols, rows, reserved_bottom_rows=0)\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef viewport_getset[] = {
    {"col", get_field<&Viewport::col>, nullptr, nullptr, nullptr},
    {"row", get_field<&Viewport::row>, nullptr, nullptr, nullptr},
    {"cols", get_field<&Viewport::cols>, nullptr, nullptr, nullptr},
    {"rows", get_field<&Viewport::rows>, nullptr, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot viewport_slots[] = {
    {Py_tp_doc, const_cast<char*>("Viewport(col, row, cols, rows)\n--\n\n")},
    {Py_tp_new, as_slot(viewport_new)},
    {Py_tp_dealloc, as_slot(dealloc_instance<Viewport>)},
    {Py_tp_repr, as_slot(viewport_repr)},
    {Py_tp_methods, viewport_methods},
    {Py_tp_getset, viewport_getset},
    {0, nullptr},
};

}  // namespace

PyTypeObject* create_viewport_type() {
  return create_instance_type<Viewport>("builtins.Viewport", viewport_slots);
}

}  // namespace facetview
