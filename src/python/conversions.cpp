#include "python/conversions.hpp"

#include "python/nearest_float.hpp"

namespace facetview {
namespace {

// Puts "argument 'name': " in front of a pending TypeError; other errors
// (OverflowError, UnicodeEncodeError) pass unchanged.
bool name_the_argument(const char* name) {
  if (!PyErr_ExceptionMatches(PyExc_TypeError)) return false;
  PyObject* type = nullptr;
  PyObject* value = nullptr;
  PyObject* traceback = nullptr;
  PyErr_Fetch(&type, &value, &traceback);
  PyErr_NormalizeException(&type, &value, &traceback);
  const OwnedRef reason(value != nullptr ? PyObject_Str(value) : nullptr);
  Py_XDECREF(type);
  Py_XDECREF(value);
  Py_XDECREF(traceback);
  if (reason != nullptr) PyErr_Format(PyExc_TypeError, "argument '%s': %U", name, reason.get());
  return false;
}

// TypeError "argument 'name': 'int' object cannot be converted to 'Mesh'".
bool raise_wrong_type(PyObject* argument, PyObject* expected_name, const char* name) {
  const OwnedRef given_name(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(argument)), "__name__"));
  if (given_name == nullptr) return false;
  PyErr_Format(PyExc_TypeError, "argument '%s': '%U' object cannot be converted to '%U'", name,
               given_name.get(), expected_name);
  return false;
}

bool raise_not_text(PyObject* argument, const char* name, const char* str_name) {
  const OwnedRef expected_name(PyUnicode_FromString(str_name));
  return expected_name != nullptr && raise_wrong_type(argument, expected_name.get(), name);
}

bool copy_bytes(PyObject* bytes_object, std::string& out) {
  char* bytes = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(bytes_object, &bytes, &size) != 0) return false;
  out.assign(bytes, static_cast<std::size_t>(size));
  return true;
}

}  // namespace

bool convert_u16(PyObject* argument, const char* name, std::uint16_t& out) {
  const OwnedRef index(PyNumber_Index(argument));
  if (index == nullptr) return name_the_argument(name);
  // Beyond the signed 64-bit range the interpreter raises its own OverflowError.
  const long long value = PyLong_AsLongLong(index.get());
  if (value == -1 && PyErr_Occurred()) return name_the_argument(name);
  if (value < 0 || value > UINT16_MAX) {
    PyErr_SetString(PyExc_OverflowError, "out of range integral type conversion attempted");
    return false;
  }
  out = static_cast<std::uint16_t>(value);
  return true;
}

bool convert_f32(PyObject* argument, const char* name, float& out) {
  const double value = PyFloat_AsDouble(argument);
  if (value == -1.0 && PyErr_Occurred()) return name_the_argument(name);
  out = nearest_float(value);
  return true;
}

bool convert_text(PyObject* argument, const char* name, std::string& out, const char* str_name) {
  if (!PyUnicode_Check(argument)) return raise_not_text(argument, name, str_name);
  // A lone surrogate raises the interpreter's UnicodeEncodeError here.
  const OwnedRef utf8(PyUnicode_AsUTF8String(argument));
  return utf8 != nullptr && copy_bytes(utf8.get(), out);
}

bool convert_path(PyObject* argument, const char* name, std::string& out, const char* str_name) {
  const bool path_like =
      PyUnicode_Check(argument) || PyBytes_Check(argument) ||
      PyObject_HasAttrString(reinterpret_cast<PyObject*>(Py_TYPE(argument)), "__fspath__");
  if (!path_like) return raise_not_text(argument, name, str_name);
  const OwnedRef path(PyOS_FSPath(argument));
  if (path == nullptr) return false;
  if (PyBytes_Check(path.get())) return copy_bytes(path.get(), out);
  const OwnedRef encoded(PyUnicode_EncodeFSDefault(path.get()));
  return encoded != nullptr && copy_bytes(encoded.get(), out);
}

bool check_instance(PyObject* argument, PyTypeObject* type, const char* name) {
  if (PyObject_TypeCheck(argument, type)) return true;
  const OwnedRef expected_name(
      PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__name__"));
  return expected_name != nullptr && raise_wrong_type(argument, expected_name.get(), name);
}

}  // namespace facetview
