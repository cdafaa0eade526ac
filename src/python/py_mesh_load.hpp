// Loading meshes from files for the Mesh class (py_mesh.cpp): Mesh.load and
// the common body of the loading static methods.
#pragma once

#include "python/python.hpp"

#include <filesystem>

#include "model/mesh.hpp"
#include "model/model_decoder.hpp"
#include "python/arguments.hpp"

namespace facetview {

// A new Mesh object that owns `mesh`; null with the error set on failure.
PyObject* new_mesh_object(Mesh mesh);

// The body of the static methods that load a file by path (Mesh.from_stl,
// Mesh.load): one path argument, the formats load_normalized_model accepts,
// and the context that a failure gets in front of the path.
PyObject* load_mesh_file(const Parameters& parameters, PyObject* args, PyObject* kwargs,
                         const char* failure, AcceptedFormats accepted);

// Mesh.load(path): a model file of any supported format, normalized.
PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs);

}  // namespace facetview
