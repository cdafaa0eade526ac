// Moving a mesh into the cube from -1 to 1.
#pragma once

#include "model/bounds.hpp"
#include "model/mesh.hpp"

namespace facetview {

// The mesh centred on the centre of `bounds`, its box, and scaled so that the
// box's largest side spans -1 to 1, in place; every normal is settled again
// by make_triangle with the old one as the candidate.
Mesh normalized_within(Mesh mesh, const Bounds& bounds);

}  // namespace facetview
