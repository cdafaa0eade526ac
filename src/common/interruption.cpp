#include "common/interruption.hpp"

namespace facetview {
namespace {

class RetryOnSignal final : public Interruption {
 public:
  Status check() override { return Status::success(); }
};

}  // namespace

Interruption& retry_on_signal() {
  static RetryOnSignal retry;
  return retry;
}

}  // namespace facetview
