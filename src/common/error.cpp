#include "common/error.hpp"

#include <cstring>

namespace facetview {

Error::Error(const Error& other)
    : message_(other.message_),
      cause_(other.cause_ ? std::make_unique<Error>(*other.cause_) : nullptr) {}

Error& Error::operator=(const Error& other) {
  if (this != &other) *this = Error(other);
  return *this;
}

Error os_error(int errno_value) {
  // strerror_r (GNU flavour) may return a static string instead of filling buf.
  char buf[256];
  const char* text = strerror_r(errno_value, buf, sizeof buf);
  return Error(std::string(text) + " (os error " + std::to_string(errno_value) + ")");
}

}  // namespace facetview
