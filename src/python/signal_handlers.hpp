// Lets Python's signal handlers run while the system waits on a descriptor.
#pragma once

#include "common/interruption.hpp"

namespace facetview {

// Runs the pending Python signal handlers (PyErr_CheckSignals). When one
// raises, for example KeyboardInterrupt or a SystemExit from a SIGTERM
// handler, the operation stops with an error while that exception stays set,
// and the entry point hands it on instead of a RuntimeError. Takes the
// interpreter lock back for that where the call released it.
Interruption& python_signal_handlers();

}  // namespace facetview
