// The borrow marker of every instance: many readers or one writer at a time.
#pragma once

#include <cstdint>

namespace facetview {

class BorrowFlag {
 public:
  bool try_share();
  bool try_take_exclusive();
  void release_shared() { --state_; }
  void release_exclusive() { state_ = 0; }

 private:
  // The number of readers, or -1 while a writer holds the instance.
  std::int32_t state_ = 0;
};

enum class Access { shared, exclusive };

// Holds access to an instance for its own lifetime. When the access conflicts
// with the marker, holds nothing and leaves RuntimeError set.
class Borrow {
 public:
  Borrow(BorrowFlag& flag, Access access);
  ~Borrow();
  Borrow(const Borrow&) = delete;
  Borrow& operator=(const Borrow&) = delete;

  explicit operator bool() const { return held_; }

 private:
  BorrowFlag& flag_;
  Access access_;
  bool held_;
};

}  // namespace facetview
