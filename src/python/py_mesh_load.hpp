// Mesh.load and the Mesh properties size and source_path; the Mesh class
// itself (py_mesh.cpp) lists them in its tables.
#pragma once

#include "python/python.hpp"

#include <filesystem>

#include "common/interruption.hpp"
#include "python/arguments.hpp"
#include "python/conversions.hpp"

#include "model/mesh.hpp"

namespace facetview {

// A new Mesh object that owns `mesh`; null with the error set on failure.
PyObject* new_mesh_object(Mesh mesh);

using MeshLoader = Result<Mesh> (*)(const std::filesystem::path&, Interruption&);

// The body of the static methods that load a file by path (Mesh.from_stl,
// Mesh.load): one path argument, the loader, which hands out the normalized
// mesh, and the context that a failure gets in front of the path; a path of
// the wrong type is named with `str_name` (see convert_text).
PyObject* load_mesh_file(const Parameters& parameters, PyObject* args, PyObject* kwargs,
                         const char* failure, MeshLoader loader, const char* str_name = kStrName);

// Mesh.load(path): a model file of any supported format, normalized.
PyObject* mesh_load(PyObject*, PyObject* args, PyObject* kwargs);

// mesh.size: (x, y, z) extents before normalization, as floats.
PyObject* get_mesh_size(PyObject* self, void*);

// mesh.warnings: a tuple of one-line texts about what the reader left out.
PyObject* get_mesh_warnings(PyObject* self, void*);

// mesh.source_path: the path the mesh was read from as a str, or None.
PyObject* get_mesh_source_path(PyObject* self, void*);

}  // namespace facetview
