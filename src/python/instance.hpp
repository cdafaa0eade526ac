// The layout shared by the four classes: an object header, a borrow marker and
// the record that the instance owns.
#pragma once

#include "python/python.hpp"

#include <memory>

#include "python/borrow.hpp"

namespace facetview {

// An aggregate, so it begins its life in the zero-filled memory that the
// type's allocator hands out: no borrow, no record yet.
template <class Record>
struct PyInstance {
  PyObject_HEAD BorrowFlag borrow;
  Record* record;  // owned; set right after allocation
};

template <class Record>
PyInstance<Record>* as_instance(PyObject* object) {
  return reinterpret_cast<PyInstance<Record>*>(object);
}

// A new instance of type that takes ownership of record; null with the
// interpreter's error set when the allocation fails.
template <class Record>
PyObject* new_instance(PyTypeObject* type, std::unique_ptr<Record> record) {
  const auto allocate = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* object = allocate(type, 0);
  if (object == nullptr) return nullptr;
  as_instance<Record>(object)->record = record.release();
  return object;
}

// tp_dealloc of a heap type: releases the record and the object, then the
// reference that the object held on its type.
template <class Record>
void dealloc_instance(PyObject* object) {
  PyTypeObject* type = Py_TYPE(object);
  delete as_instance<Record>(object)->record;
  const auto free_object = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_object(object);
  Py_DECREF(type);
}

// A new heap type whose instances hold a Record; without the base-type flag,
// so it cannot be subclassed. name ("builtins.Viewport") and the tables that
// slots point to must live for the rest of the process. Null with the error
// set on failure.
template <class Record>
PyTypeObject* create_instance_type(const char* name, PyType_Slot* slots) {
  PyType_Spec type_description = {
      .name = name,
      .basicsize = static_cast<int>(sizeof(PyInstance<Record>)),
      .itemsize = 0,
      .flags = Py_TPFLAGS_DEFAULT,
      .slots = slots,
  };
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&type_description));
}

}  // namespace facetview
