// What a blocking read or write does when a signal may have arrived.
#pragma once

#include "common/error.hpp"

namespace facetview {

// Asked whenever a signal may have arrived during a long or blocked system
// call: after EINTR, after a write that a signal cut short, and now and then
// during a long read. Success lets the operation go on; an error abandons it,
// for example when a Python signal handler raised.
class Interruption {
 public:
  virtual ~Interruption() = default;
  virtual Status check() = 0;
};

// Always lets the operation go on: for callers without signal handlers to run.
Interruption& retry_on_signal();

}  // namespace facetview
