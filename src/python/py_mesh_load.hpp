// The static methods of the Python class Mesh that load a model file by path;
// the class itself (py_mesh.cpp) lists them in its table.
#pragma once

#include "python/python.hpp"

namespace facetview {

// Mesh.from_stl(path): an STL file, normalized.
PyObject* mesh_from_stl(PyObject*, PyObject* args, PyObject* kwargs);

// Mesh.load(path): a model file of any supported format, normalized.
PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs);

}  // namespace facetview
