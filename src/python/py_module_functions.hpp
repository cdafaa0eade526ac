// The module's private functions, behind the facetview package's
// Mesh.from_arrays, render, save_png and its cursor moves.
#pragma once

#include "python/python.hpp"

namespace facetview {

// The module's function table, ended by an empty entry.
extern PyMethodDef module_functions[];

}  // namespace facetview
