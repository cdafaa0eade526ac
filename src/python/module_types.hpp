// The type objects of the four classes: created once per process, when the
// module is first initialised, and kept for the rest of it.
#pragma once

#include "python/python.hpp"

namespace facetview {

struct ModuleTypes {
  PyTypeObject* viewport = nullptr;
  PyTypeObject* camera = nullptr;
  PyTypeObject* mesh = nullptr;
  PyTypeObject* surface = nullptr;
  PyTypeObject* orbit_camera = nullptr;
};

ModuleTypes& module_types();

}  // namespace facetview
