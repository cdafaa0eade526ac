// Values the Python package needs that the core defines: exported by the
// module once, so that the two languages never hold copies that could drift.
#pragma once

#include "python/python.hpp"

namespace facetview {

// Adds to `module`: ZOOM_RANGE, the (lowest, highest) zoom the renderer honours;
// QUALITY_NAMES, every quality name accepted (aliases included) mapped to its
// canonical name; KITTY_DELETE_ALL, the bytes that delete every kitty image.
// False with an exception set on failure.
bool add_shared_constants(PyObject* module);

}  // namespace facetview
