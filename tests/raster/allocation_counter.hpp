// Counts the allocations made through operator new by this test program.
#pragma once

#include <cstddef>

namespace facetview::testing {

std::size_t allocation_count();

}  // namespace facetview::testing
