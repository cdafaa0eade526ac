// The Python class OrbitCamera: a target, a distance, three angles and a
// projection, each changeable.
#pragma once

#include "python/instance.hpp"

#include "raster/orbit_camera.hpp"

namespace facetview {

using PyOrbitCamera = PyInstance<OrbitCamera>;

// A new heap type builtins.OrbitCamera; null with the error set on failure.
PyTypeObject* create_orbit_camera_type();

// The record of a Camera or an OrbitCamera argument, copied; false with
// TypeError set for anything else.
bool read_any_camera(PyObject* argument, AnyCamera& out);

}  // namespace facetview
