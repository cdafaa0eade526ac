// The Python class Surface: renders meshes into viewports of the terminal.
#pragma once

#include "python/instance.hpp"

#include "surface/terminal_surface.hpp"

namespace facetview {

using PySurface = PyInstance<TerminalSurface>;

// A new heap type builtins.Surface; null with the error set on failure.
PyTypeObject* create_surface_type();

}  // namespace facetview
