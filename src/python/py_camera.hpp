// The Python class Camera: pitch, yaw, roll and zoom, each changeable.
#pragma once

#include "python/instance.hpp"

#include "raster/camera.hpp"

namespace facetview {

using PyCamera = PyInstance<Camera>;

// A new heap type builtins.Camera; null with the error set on failure.
PyTypeObject* create_camera_type();

}  // namespace facetview
