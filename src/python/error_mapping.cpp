#include "python/error_mapping.hpp"

#include <exception>
#include <new>

namespace facetview {
namespace {

PyObject* runtime_error_with_message(const Error& error) {
  // A path in a message comes back as the str that named it, escaped bytes included.
  const std::string& message = error.message();
  const OwnedRef text(PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()),
                                           "surrogateescape"));
  if (text == nullptr) return nullptr;
  return PyObject_CallFunctionObjArgs(PyExc_RuntimeError, text.get(), nullptr);
}

// OSError picks its subclass from the errno, as the interpreter's own calls do.
PyObject* os_exception(int errno_value, PyObject* filename) {
  const std::string description = os_error_description(errno_value);
  const OwnedRef text(PyUnicode_DecodeLocaleAndSize(
      description.data(), static_cast<Py_ssize_t>(description.size()), "surrogateescape"));
  if (text == nullptr) return nullptr;
  const OwnedRef number(PyLong_FromLong(errno_value));
  if (number == nullptr) return nullptr;
  return PyObject_CallFunctionObjArgs(PyExc_OSError, number.get(), text.get(), filename, nullptr);
}

const Error& root_cause(const Error& error) {
  const Error* root = &error;
  while (root->cause() != nullptr) root = root->cause();
  return *root;
}

// The exception that stands for the reason `error`, with its causes below it.
PyObject* reason_exception(const Error& error, PyObject* filename) {
  const Error& root = root_cause(error);
  if (root.os_errno() != 0) return os_exception(root.os_errno(), filename);
  return py_runtime_error(error, filename);
}

}  // namespace

PyObject* py_runtime_error(const Error& error, PyObject* filename) {
  OwnedRef exception(runtime_error_with_message(error));
  if (exception == nullptr || error.cause() == nullptr) return exception.release();
  PyObject* cause = reason_exception(*error.cause(), filename);
  if (cause == nullptr) return nullptr;
  PyException_SetCause(exception.get(), cause);  // steals the reference
  return exception.release();
}

std::nullptr_t raise_error(const Error& error, PyObject* filename) {
  if (PyErr_Occurred()) return nullptr;
  const OwnedRef exception(py_runtime_error(error, filename));
  if (exception != nullptr) PyErr_SetObject(PyExc_RuntimeError, exception.get());
  return nullptr;
}

void raise_current_cpp_exception() noexcept {
  try {
    throw;
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& exception) {
    PyErr_SetString(PyExc_RuntimeError, exception.what());
  } catch (...) {
    PyErr_SetString(PyExc_RuntimeError, "unexpected internal failure");
  }
}

}  // namespace facetview
