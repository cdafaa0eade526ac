// The process-wide frame writer on file descriptor 1.
#pragma once

#include "common/byte_output.hpp"
#include "common/interruption.hpp"

namespace facetview {

// Created on first use and never through Python's sys.stdout. It holds nothing
// between frames, so nothing is left to write at exit or to duplicate in a
// forked child. `interruption` is asked from now on when a signal interrupts a
// blocked write; it must live for the rest of the process.
ByteOutput& standard_output(Interruption& interruption);

}  // namespace facetview
