// The Python class Mesh: a loaded model, never changed after creation.
#pragma once

#include "python/instance.hpp"

#include "model/mesh.hpp"

namespace facetview {

using PyMesh = PyInstance<Mesh>;

// A new Mesh object that owns `mesh`; null with the error set on failure.
PyObject* new_mesh_object(Mesh mesh);

// A new heap type builtins.Mesh; null with the error set on failure.
PyTypeObject* create_mesh_type();

}  // namespace facetview
