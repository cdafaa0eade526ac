#include "python/arguments.hpp"

#include <string>
#include <vector>

namespace facetview {
namespace {

bool raise_too_many_positional(const Parameters& parameters, Py_ssize_t given) {
  std::string message = std::string(parameters.method) + " takes ";
  const std::size_t count = parameters.positional_count();
  if (parameters.required != count) {
    message += "from " + std::to_string(parameters.required) + " to ";
  }
  message += std::to_string(count) + " positional arguments but " + std::to_string(given) +
             (given == 1 ? " was" : " were") + " given";
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return false;
}

// 'a'; 'a' and 'b'; 'a', 'b', and 'c'.
std::string quoted_list(std::span<const char* const> names) {
  std::string list;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) list += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
    list += std::string("'") + names[i] + "'";
  }
  return list;
}

bool raise_missing(const Parameters& parameters, std::span<PyObject*> matched) {
  std::vector<const char*> missing;
  for (std::size_t i = 0; i < parameters.required; ++i) {
    if (matched[i] == nullptr) missing.push_back(parameters.names[i]);
  }
  const std::string message = std::string(parameters.method) + " missing " +
                              std::to_string(missing.size()) + " required positional " +
                              (missing.size() == 1 ? "argument" : "arguments") + ": " +
                              quoted_list(missing);
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return false;
}

// The index of the parameter called keyword, or names.size() for none.
std::size_t parameter_index(std::span<const char* const> names, PyObject* keyword) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (PyUnicode_CompareWithASCIIString(keyword, names[i]) == 0) return i;
  }
  return names.size();
}

bool match_keywords(const Parameters& parameters, PyObject* kwargs, Py_ssize_t positional_count,
                    std::span<PyObject*> matched) {
  Py_ssize_t position = 0;
  PyObject* keyword = nullptr;
  PyObject* value = nullptr;
  while (PyDict_Next(kwargs, &position, &keyword, &value)) {
    if (!PyUnicode_Check(keyword)) {
      PyErr_Format(PyExc_TypeError, "%s keywords must be strings", parameters.method);
      return false;
    }
    const std::size_t index = parameter_index(parameters.names, keyword);
    if (index == parameters.names.size()) {
      PyErr_Format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", parameters.method,
                   keyword);
      return false;
    }
    if (static_cast<Py_ssize_t>(index) < positional_count) {
      PyErr_Format(PyExc_TypeError, "%s got multiple values for argument '%s'", parameters.method,
                   parameters.names[index]);
      return false;
    }
    matched[index] = value;
  }
  return true;
}

}  // namespace

bool match_arguments(const Parameters& parameters, PyObject* args, PyObject* kwargs,
                     std::span<PyObject*> matched) {
  for (PyObject*& slot : matched) slot = nullptr;

  const Py_ssize_t positional_count = PyTuple_Size(args);
  if (positional_count < 0) return false;
  if (static_cast<std::size_t>(positional_count) > parameters.positional_count()) {
    return raise_too_many_positional(parameters, positional_count);
  }
  for (Py_ssize_t i = 0; i < positional_count; ++i) {
    matched[static_cast<std::size_t>(i)] = PyTuple_GetItem(args, i);
  }
  if (kwargs != nullptr && !match_keywords(parameters, kwargs, positional_count, matched)) {
    return false;
  }
  for (std::size_t i = 0; i < parameters.required; ++i) {
    if (matched[i] == nullptr) return raise_missing(parameters, matched);
  }
  return true;
}

}  // namespace facetview
