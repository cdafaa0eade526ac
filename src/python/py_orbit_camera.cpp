#include "python/py_orbit_camera.hpp"

#include <cmath>
#include <string>

#include "python/arguments.hpp"
#include "python/conversions.hpp"
#include "python/error_mapping.hpp"
#include "python/float_text.hpp"
#include "python/module_types.hpp"
#include "python/py_camera.hpp"

namespace facetview {
namespace {

constexpr const char* kNewNames[] = {"target", "distance", "pitch", "yaw", "roll", "orthographic"};
constexpr Parameters kNewParameters{"OrbitCamera.__new__()", kNewNames, 0, 5};

// The angle parameters in order, as fields of the record.
constexpr float OrbitCamera::*kAngles[] = {&OrbitCamera::pitch, &OrbitCamera::yaw,
                                           &OrbitCamera::roll};

// Three numbers, each converted to a 32-bit float.
bool convert_target(PyObject* argument, const char* name, Vec3& out) {
  const OwnedRef items(PySequence_Check(argument) && !PyUnicode_Check(argument)
                           ? PySequence_Tuple(argument)
                           : nullptr);
  if (items == nullptr || PyTuple_Size(items.get()) != 3) {
    if (items == nullptr && PyErr_Occurred() && !PyErr_ExceptionMatches(PyExc_TypeError)) {
      return false;
    }
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError, "argument '%s': expected a sequence of 3 numbers", name);
    return false;
  }
  float values[3];
  for (Py_ssize_t i = 0; i < 3; ++i) {
    if (!convert_f32(PyTuple_GetItem(items.get(), i), name, values[i])) return false;
  }
  out = {values[0], values[1], values[2]};
  return true;
}

// Any positive finite number: the eye must stand somewhere in front of the target.
bool convert_distance(PyObject* argument, const char* name, float& out) {
  float distance = 0.0f;
  if (!convert_f32(argument, name, distance)) return false;
  if (!(distance > 0.0f && std::isfinite(distance))) {
    PyErr_SetString(PyExc_ValueError, "distance must be a positive finite number");
    return false;
  }
  out = distance;
  return true;
}

bool convert_flag(PyObject* argument, bool& out) {
  const int truth = PyObject_IsTrue(argument);
  if (truth < 0) return false;
  out = truth != 0;
  return true;
}

PyObject* orbit_camera_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) {
  return without_cpp_exceptions([&]() -> PyObject* {
    PyObject* matched[6];
    if (!match_arguments(kNewParameters, args, kwargs, matched)) return nullptr;
    OrbitCamera camera;
    if (matched[0] != nullptr && !convert_target(matched[0], "target", camera.target)) {
      return nullptr;
    }
    if (matched[1] != nullptr && !convert_distance(matched[1], "distance", camera.distance)) {
      return nullptr;
    }
    for (std::size_t i = 0; i < 3; ++i) {
      if (matched[2 + i] != nullptr &&
          !convert_f32(matched[2 + i], kNewNames[2 + i], camera.*kAngles[i])) {
        return nullptr;
      }
    }
    if (matched[5] != nullptr && !convert_flag(matched[5], camera.orthographic)) return nullptr;
    return new_instance(type, std::make_unique<OrbitCamera>(camera));
  });
}

// Property access: the value is converted before the borrow, since the
// conversion may run Python code (__float__) that reads this very camera; a
// failure leaves the field as it was.
template <class Value, bool (*Convert)(PyObject*, const char*, Value&), Value OrbitCamera::*Field>
int set_field(PyObject* self, PyObject* value, void*) {
  if (value == nullptr) {
    PyErr_SetString(PyExc_AttributeError, "can't delete attribute");
    return -1;
  }
  Value converted{};
  if (!Convert(value, "value", converted)) return -1;
  PyOrbitCamera* camera = as_instance<OrbitCamera>(self);
  const Borrow borrow(camera->borrow, Access::exclusive);
  if (!borrow) return -1;
  camera->record->*Field = converted;
  return 0;
}

bool convert_flag_named(PyObject* argument, const char*, bool& out) {
  return convert_flag(argument, out);
}

template <class Read>
PyObject* read_record(PyObject* self, Read read) {
  PyOrbitCamera* camera = as_instance<OrbitCamera>(self);
  const Borrow borrow(camera->borrow, Access::shared);
  if (!borrow) return nullptr;
  return read(*camera->record);
}

template <float OrbitCamera::*Field>
PyObject* get_float(PyObject* self, void*) {
  return read_record(self, [](const OrbitCamera& c) { return PyFloat_FromDouble(c.*Field); });
}

PyObject* get_target(PyObject* self, void*) {
  return read_record(self, [](const OrbitCamera& c) {
    return Py_BuildValue("(ddd)", double{c.target.x}, double{c.target.y}, double{c.target.z});
  });
}

PyObject* get_orthographic(PyObject* self, void*) {
  return read_record(self, [](const OrbitCamera& c) { return PyBool_FromLong(c.orthographic); });
}

PyObject* orbit_camera_repr(PyObject* self) {
  return without_cpp_exceptions([&]() -> PyObject* {
    return read_record(self, [](const OrbitCamera& c) {
      const std::string text = "OrbitCamera(target=(" + float_text(c.target.x) + ", " +
                               float_text(c.target.y) + ", " + float_text(c.target.z) +
                               "), distance=" + float_text(c.distance) +
                               ", pitch=" + float_text(c.pitch) + ", yaw=" + float_text(c.yaw) +
                               ", roll=" + float_text(c.roll) +
                               ", orthographic=" + (c.orthographic ? "True" : "False") + ")";
      return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
    });
  });
}

PyGetSetDef orbit_camera_getset[] = {
    {"target", get_target, set_field<Vec3, convert_target, &OrbitCamera::target>, nullptr, nullptr},
    {"distance", get_float<&OrbitCamera::distance>,
     set_field<float, convert_distance, &OrbitCamera::distance>, nullptr, nullptr},
    {"pitch", get_float<&OrbitCamera::pitch>, set_field<float, convert_f32, &OrbitCamera::pitch>,
     nullptr, nullptr},
    {"yaw", get_float<&OrbitCamera::yaw>, set_field<float, convert_f32, &OrbitCamera::yaw>, nullptr,
     nullptr},
    {"roll", get_float<&OrbitCamera::roll>, set_field<float, convert_f32, &OrbitCamera::roll>,
     nullptr, nullptr},
    {"orthographic", get_orthographic,
     set_field<bool, convert_flag_named, &OrbitCamera::orthographic>, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot orbit_camera_slots[] = {
    {Py_tp_doc, const_cast<char*>("OrbitCamera(target=(0.0, 0.0, 0.0), distance=3.25, pitch=0.45, "
                                  "yaw=..., roll=0.0, *, orthographic=False)\n--\n\n")},
    {Py_tp_new, as_slot(orbit_camera_new)},
    {Py_tp_dealloc, as_slot(dealloc_instance<OrbitCamera>)},
    {Py_tp_repr, as_slot(orbit_camera_repr)},
    {Py_tp_getset, orbit_camera_getset},
    {0, nullptr},
};

}  // namespace

PyTypeObject* create_orbit_camera_type() {
  return create_instance_type<OrbitCamera>("builtins.OrbitCamera", orbit_camera_slots);
}

bool read_any_camera(PyObject* argument, AnyCamera& out) {
  const ModuleTypes& types = module_types();
  if (PyObject_TypeCheck(argument, types.orbit_camera)) {
    PyOrbitCamera* camera = as_instance<OrbitCamera>(argument);
    const Borrow borrow(camera->borrow, Access::shared);
    if (!borrow) return false;
    out = *camera->record;
    return true;
  }
  if (!check_instance(argument, types.camera, "camera")) return false;
  PyCamera* camera = as_instance<Camera>(argument);
  const Borrow borrow(camera->borrow, Access::shared);
  if (!borrow) return false;
  out = *camera->record;
  return true;
}

}  // namespace facetview
