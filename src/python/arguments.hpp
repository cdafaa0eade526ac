// Matching of positional and keyword arguments to a method's parameters, with
// the same messages for every method of the module.
#pragma once

#include "python/python.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace facetview {

struct Parameters {
  const char* method;                  // full name for messages, e.g. "Viewport.__new__()"
  std::span<const char* const> names;  // in order; all positional or keyword
  std::size_t required;                // the leading names that must be given
  // How many leading names may be given by position; the rest are keyword-only.
  std::size_t positional = SIZE_MAX;

  std::size_t positional_count() const {
    return positional < names.size() ? positional : names.size();
  }
};

// Fills matched[i] with a borrowed reference to the argument for names[i], or
// null when an optional one is absent. args is a tuple, kwargs a dict or null.
// On a mismatch returns false with TypeError set.
bool match_arguments(const Parameters& parameters, PyObject* args, PyObject* kwargs,
                     std::span<PyObject*> matched);

}  // namespace facetview
