// What a blocking read or write does when a signal interrupts it.
#pragma once

#include "common/error.hpp"

namespace facetview {

// Asked after a system call was interrupted by a signal (EINTR): success lets
// the call be retried, an error abandons the whole operation, for example when
// a Python signal handler raised.
class Interruption {
 public:
  virtual ~Interruption() = default;
  virtual Status check() = 0;
};

// Always lets the call be retried: for callers without signal handlers to run.
Interruption& retry_on_signal();

}  // namespace facetview
