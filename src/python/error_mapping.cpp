#include "python/error_mapping.hpp"

#include <exception>
#include <new>

namespace facetview {

PyObject* py_runtime_error(const Error& error) {
  const std::string& message = error.message();
  const OwnedRef text(
      PyUnicode_DecodeUTF8(message.data(), static_cast<Py_ssize_t>(message.size()), "replace"));
  if (text == nullptr) return nullptr;
  return PyObject_CallFunctionObjArgs(PyExc_RuntimeError, text.get(), nullptr);
}

std::nullptr_t raise_runtime_error(const Error& error) {
  const OwnedRef exception(py_runtime_error(error));
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
