#include "common/error.hpp"

#include <cstring>

namespace facetview {

Error::Error(const Error& other)
    : message_(other.message_),
      cause_(other.cause_ ? std::make_unique<Error>(*other.cause_) : nullptr),
      os_errno_(other.os_errno_) {}

Error& Error::operator=(const Error& other) {
  if (this != &other) *this = Error(other);
  return *this;
}

std::string os_error_description(int errno_value) {
  // strerror_r (GNU flavour) may return a static string instead of filling buf.
  char buf[256];
  return strerror_r(errno_value, buf, sizeof buf);
}

Error os_error(int errno_value) {
  Error error(os_error_description(errno_value) + " (os error " + std::to_string(errno_value) +
              ")");
  error.os_errno_ = errno_value;
  return error;
}

}  // namespace facetview
