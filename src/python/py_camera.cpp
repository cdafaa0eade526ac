#include "python/py_camera.hpp"

#include <string>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/float_text.hpp"
#include "python/module_types.hpp"

namespace facetview {
namespace {

constexpr const char* kNewNames[] = {"pitch", "yaw", "roll", "zoom"};
constexpr Parameters kNewParameters{"Camera.__new__()", kNewNames, 0};

// The constructor's parameters in order, as fields of the record.
constexpr float Camera::*kFields[] = {&Camera::pitch, &Camera::yaw, &Camera::roll, &Camera::zoom};

PyObject* wrap(PyTypeObject* type, Camera camera) {
  return new_instance(type, std::make_unique<Camera>(camera));
}

PyObject* camera_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[4];
    if (!match_arguments(kNewParameters, args, kwargs, matched)) return nullptr;
    Camera camera = kDefaultCamera;
    for (std::size_t i = 0; i < 4; ++i) {
      if (matched[i] != nullptr && !convert_f32(matched[i], kNewNames[i], camera.*kFields[i])) {
        return nullptr;
      }
    }
    return wrap(type, camera);
  });
}

PyObject* camera_default(PyObject*, PyObject*) {
  return without_cpp_exceptions([] { return wrap(module_types().camera, kDefaultCamera); });
}

template <float Camera::*Field>
PyObject* get_field(PyObject* self, void*) {
  PyCamera* camera = as_instance<Camera>(self);
  const Borrow borrow(camera->borrow, Access::shared);
  if (!borrow) return nullptr;
  return PyFloat_FromDouble(camera->record->*Field);
}

template <float Camera::*Field>
int set_field(PyObject* self, PyObject* value, void*) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
  }
  // Converted before the borrow: the conversion may run Python code (__float__)
  // that reads this very camera; a failure leaves the field as it was.
  float converted = 0.0f;
  if (!convert_f32(value, "value", converted)) return -1;
  PyCamera* camera = as_instance<Camera>(self);
  const Borrow borrow(camera->borrow, Access::exclusive);
  if (!borrow) return -1;
  camera->record->*Field = converted;
  return 0;
}

PyObject* camera_repr(PyObject* self) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyCamera* camera = as_instance<Camera>(self);
    const Borrow borrow(camera->borrow, Access::shared);
    if (!borrow) return nullptr;
    const Camera& c = *camera->record;
    const std::string text = "Camera(pitch=" + float_text(c.pitch) + ", yaw=" + float_text(c.yaw) +
                             ", roll=" + float_text(c.roll) + ", zoom=" + float_text(c.zoom) + ")";
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  });
}

PyMethodDef camera_methods[] = {
    {"default", as_py_cfunction(camera_default), METH_NOARGS | METH_STATIC, "default()\n--\n\n"},
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef camera_getset[] = {
    {"pitch", get_field<&Camera::pitch>, set_field<&Camera::pitch>, nullptr, nullptr},
    {"yaw", get_field<&Camera::yaw>, set_field<&Camera::yaw>, nullptr, nullptr},
    {"roll", get_field<&Camera::roll>, set_field<&Camera::roll>, nullptr, nullptr},
    {"zoom", get_field<&Camera::zoom>, set_field<&Camera::zoom>, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot camera_slots[] = {
    {Py_tp_doc, const_cast<char*>("Camera(pitch=0.45, yaw=..., roll=0.0, zoom=1.0)\n--\n\n")},
    {Py_tp_new, as_slot(camera_new)},
    {Py_tp_dealloc, as_slot(dealloc_instance<Camera>)},
    {Py_tp_repr, as_slot(camera_repr)},
    {Py_tp_methods, camera_methods},
    {Py_tp_getset, camera_getset},
    {0, nullptr},
};

}  // namespace

PyTypeObject* create_camera_type() {
  return create_instance_type<Camera>("builtins.Camera", camera_slots);
}

}  // namespace facetview
