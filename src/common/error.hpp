// Internal errors and the value-or-error result that every subsystem returns.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace facetview {

// A message with an optional cause, so that errors form a chain from the
// outermost context down to the root cause.
class Error {
 public:
  explicit Error(std::string message) : message_(std::move(message)) {}
  Error(std::string message, Error cause)
      : message_(std::move(message)), cause_(std::make_unique<Error>(std::move(cause))) {}

  Error(const Error& other);
  Error& operator=(const Error& other);
  Error(Error&&) noexcept = default;
  Error& operator=(Error&&) noexcept = default;

  const std::string& message() const { return message_; }
  // The errno of a failed system call (see os_error), or 0 for other errors.
  int os_errno() const { return os_errno_; }
  // The next error down the chain, or null at the root cause.
  const Error* cause() const { return cause_.get(); }

  // Puts a context message in front: the context becomes the outermost message
  // and this error its cause.
  Error with_context(std::string context) && { return Error(std::move(context), std::move(*this)); }

 private:
  friend Error os_error(int errno_value);

  std::string message_;
  std::unique_ptr<Error> cause_;
  int os_errno_ = 0;
};

// The error of a failed system call: the platform's description of errno
// followed by " (os error N)".
Error os_error(int errno_value);

// The platform's description of errno_value, such as "No such file or directory".
std::string os_error_description(int errno_value);

// Either a value or an Error; nothing partial.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
  Result(Error error) : state_(std::in_place_index<1>, std::move(error)) {}

  bool ok() const { return state_.index() == 0; }
  explicit operator bool() const { return ok(); }

  T& value() & { return std::get<0>(state_); }
  const T& value() const& { return std::get<0>(state_); }
  T&& value() && { return std::get<0>(std::move(state_)); }
  T& operator*() & { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }

  const Error& error() const& { return std::get<1>(state_); }
  Error&& error() && { return std::get<1>(std::move(state_)); }

 private:
  std::variant<T, Error> state_;
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : error_(std::move(error)) {}

  static Result success() { return Result(); }

  bool ok() const { return !error_.has_value(); }
  explicit operator bool() const { return ok(); }

  const Error& error() const& { return *error_; }
  Error&& error() && { return std::move(*error_); }

 private:
  std::optional<Error> error_;
};

using Status = Result<void>;

}  // namespace facetview
