// The layout shared by the four classes: an object header, a borrow marker and
// the record that the instance owns.
#pragma once

#include "python/python.hpp"

#include <memory>
#include <new>
#include <type_traits>

#include "python/borrow.hpp"

namespace facetview {

// The object header comes first, so a PyObject* is a pointer to the instance.
// The members after it are constructed by new_instance and destroyed by
// dealloc_instance; the memory that the allocator hands out is not trusted to
// hold them.
template <class Record>
struct PyInstance {
  PyObject ob_base;
  BorrowFlag borrow;
  Record* record;  // owned
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
  static_assert(std::is_standard_layout_v<PyInstance<Record>>);
  PyObject* object = allocate(type, 0);
  if (object == nullptr) return nullptr;
  PyInstance<Record>* instance = as_instance<Record>(object);
  new (&instance->borrow) BorrowFlag();
  new (&instance->record) Record*(record.release());
  return object;
}

// tp_dealloc of a heap type: releases the record and the object, then the
// reference that the object held on its type.
template <class Record>
void dealloc_instance(PyObject* object) {
  PyTypeObject* type = Py_TYPE(object);
  PyInstance<Record>* instance = as_instance<Record>(object);
  delete instance->record;
  instance->borrow.~BorrowFlag();
  const auto free_object = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_object(object);
  Py_DECREF(type);
}

enum class Subclassing { refused, allowed };

// A new heap type whose instances hold a Record; cannot be subclassed unless
// allowed. A subclass's instances start with the same layout, and the
// functions above serve them too. name ("builtins.Viewport") and the tables
// that slots point to must live for the rest of the process. Null with the
// error set on failure.
template <class Record>
PyTypeObject* create_instance_type(const char* name, PyType_Slot* slots,
                                   Subclassing subclassing = Subclassing::refused) {
  PyType_Spec type_description = {
      .name = name,
      .basicsize = static_cast<int>(sizeof(PyInstance<Record>)),
      .itemsize = 0,
      .flags = static_cast<unsigned int>(
          Py_TPFLAGS_DEFAULT | (subclassing == Subclassing::allowed ? Py_TPFLAGS_BASETYPE : 0)),
      .slots = slots,
  };
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&type_description));
}

}  // namespace facetview
