// The process-wide frame writer on file descriptor 1.
#pragma once

#include <mutex>

#include "common/byte_output.hpp"
#include "common/interruption.hpp"

namespace facetview {

// Created on first use and never through Python's sys.stdout. It holds nothing
// between frames, so nothing is left to write at exit or to duplicate in a
// forked child. `interruption` is asked from now on when a signal interrupts a
// blocked write; it must live for the rest of the process.
// Call it, and use the writer, holding standard_output_lock().
ByteOutput& standard_output(Interruption& interruption);

// One frame at a time: callers on several threads take turns for a whole
// frame. Recursive, because a signal handler run from inside a blocked write
// may draw or clear on the same thread. Never wait for it while holding the
// interpreter lock: its holder may need that lock to run signal handlers.
std::recursive_mutex& standard_output_lock();

}  // namespace facetview
