#include "python/python.hpp"

#include <cerrno>

#include "python/signal_handlers.hpp"

namespace facetview {
namespace {

class PythonSignalHandlers final : public Interruption {
 public:
  Status check() override {
    if (PyErr_CheckSignals() == 0) return Status::success();
    return os_error(EINTR);
  }
};

class LockTakingSignalHandlers final : public Interruption {
 public:
  Status check() override {
    const PyGILState_STATE state = PyGILState_Ensure();
    Status status = python_signal_handlers().check();
    PyGILState_Release(state);
    return status;
  }
};

}  // namespace

Interruption& python_signal_handlers() {
  static PythonSignalHandlers handlers;
  return handlers;
}

Interruption& python_signal_handlers_taking_lock() {
  static LockTakingSignalHandlers handlers;
  return handlers;
}

ReleasedInterpreterLock::ReleasedInterpreterLock() : saved_(PyEval_SaveThread()) {}

ReleasedInterpreterLock::~ReleasedInterpreterLock() {
  PyEval_RestoreThread(static_cast<PyThreadState*>(saved_));
}

}  // namespace facetview
