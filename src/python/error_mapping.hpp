// How failures inside the system become Python exceptions.
#pragma once

#include "python/python.hpp"

#include <type_traits>

#include "common/error.hpp"

namespace facetview {

// A new RuntimeError whose only argument is the outermost message of error.
// The reason below it, if any, becomes its __cause__: an OSError of the
// subclass that the errno selects (FileNotFoundError, PermissionError, ...),
// with errno, description and `filename` (when not null), when the root cause
// is a failed system call; otherwise a RuntimeError with the next message,
// whose own __cause__ goes on down the chain. Null with the interpreter's
// error set if even that cannot be built.
PyObject* py_runtime_error(const Error& error, PyObject* filename = nullptr);

// Raises py_runtime_error(error), unless an exception is set already: one that
// a Python signal handler raised while the operation waited, which goes on
// unchanged. Returns null for the caller to return.
std::nullptr_t raise_error(const Error& error, PyObject* filename = nullptr);

// Sets the Python error for the C++ exception being handled: MemoryError for
// std::bad_alloc, RuntimeError for anything else.
void raise_current_cpp_exception() noexcept;

// Runs the body of an entry point so that no C++ exception reaches the
// interpreter: a throw becomes a Python error and the failure value of the
// entry point (null, or -1 for int results).
template <class Body>
auto without_cpp_exceptions(Body&& body) noexcept -> decltype(body()) {
  try {
    return body();
  } catch (...) {
    raise_current_cpp_exception();
    if constexpr (std::is_same_v<decltype(body()), int>) {
      return -1;
    } else {
      return nullptr;
    }
  }
}

}  // namespace facetview
