// The CPython C API, limited to the stable ABI by the build.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <memory>

namespace facetview {

struct DropReference {
  void operator()(PyObject* object) const { Py_DECREF(object); }
};
// A strong reference, released when it goes out of scope.
using OwnedRef = std::unique_ptr<PyObject, DropReference>;

// Method tables store every function as a PyCFunction; the interpreter calls
// it with the signature that the method's flags announce.
template <class Function>
PyCFunction as_py_cfunction(Function* function) {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

// Type slots store every function as a void pointer.
template <class Function>
void* as_slot(Function* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace facetview
