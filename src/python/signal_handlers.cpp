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

}  // namespace

Interruption& python_signal_handlers() {
  static PythonSignalHandlers handlers;
  return handlers;
}

}  // namespace facetview
