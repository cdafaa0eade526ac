// The Python class Viewport: a read-only rectangle of terminal cells.
#pragma once

#include "python/instance.hpp"

#include "common/viewport.hpp"

namespace facetview {

using PyViewport = PyInstance<Viewport>;

// A new heap type builtins.Viewport; null with the error set on failure.
PyTypeObject* create_viewport_type();

}  // namespace facetview
