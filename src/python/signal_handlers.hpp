// Lets Python's signal handlers run while the system waits on a descriptor.
#pragma once

#include "common/interruption.hpp"

namespace facetview {

// Runs the pending Python signal handlers (PyErr_CheckSignals). When one
// raises, for example KeyboardInterrupt or a SystemExit from a SIGTERM
// handler, the operation stops with an error while that exception stays set,
// and the entry point hands it on instead of a RuntimeError. Needs the
// interpreter lock.
Interruption& python_signal_handlers();

// The same for work done with the interpreter lock released: takes the lock
// for each check, so that other Python threads run meanwhile.
Interruption& python_signal_handlers_taking_lock();

// Releases the interpreter lock for its lifetime (and takes it back on every
// way out, exceptions included). Nothing inside may touch Python objects.
class ReleasedInterpreterLock {
 public:
  ReleasedInterpreterLock();
  ~ReleasedInterpreterLock();
  ReleasedInterpreterLock(const ReleasedInterpreterLock&) = delete;
  ReleasedInterpreterLock& operator=(const ReleasedInterpreterLock&) = delete;

 private:
  void* saved_;  // the PyThreadState, kept opaque so that this header needs no Python
};

}  // namespace facetview
