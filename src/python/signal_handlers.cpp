#include "python/python.hpp"

#include <cerrno>

#include "python/interpreter_unlocked.hpp"
#include "python/signal_handlers.hpp"

namespace facetview {
namespace {

class PythonSignalHandlers final : public Interruption {
 public:
  Status check() override {
    // The call may have let go of the lock while it waits.
    const InterpreterRelocked locked;
    if (PyErr_CheckSignals() == 0) return Status::success();
    return os_error(EINTR);
  }
};

}  // namespace

Interruption& python_signal_handlers() {
  static PythonSignalHandlers handlers;
  return handlers;
}

}  // namespace facetview
