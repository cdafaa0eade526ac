// The Python class Surface: renders meshes into viewports of the terminal.
#pragma once

#include "python/instance.hpp"

#include "surface/terminal_surface.hpp"

namespace facetview {

using PySurface = PyInstance<TerminalSurface>;

// A new heap type builtins.Surface; null with the error set on failure.
PyTypeObject* create_surface_type();

// _set_terminal_detection(capabilities, true_colour): the package's functions
// behind protocol "auto" and the colour depth of "blocks".
PyObject* set_terminal_detection(PyObject* module, PyObject* args, PyObject* kwargs);

}  // namespace facetview
