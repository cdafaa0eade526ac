// Mesh.load and the Mesh properties size and source_path; the Mesh class
// itself (py_mesh.cpp) lists them in its tables.
#pragma once

#include "python/python.hpp"

#include "stl/mesh.hpp"

namespace facetview {

// A new Mesh object that owns `mesh`; null with the error set on failure.
PyObject* new_mesh_object(Mesh mesh);

// Mesh.load(path): a model file of any supported format, normalized.
PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs);

// mesh.size: (x, y, z) extents before normalization, as floats.
PyObject* get_mesh_size(PyObject* self, void*);

// mesh.source_path: the path the mesh was read from as a str, or None.
PyObject* get_mesh_source_path(PyObject* self, void*);

}  // namespace facetview
