#include "python/python.hpp"

#include "python/borrow.hpp"

namespace facetview {

bool BorrowFlag::try_share() {
  if (state_ < 0) return false;
  ++state_;
  return true;
}

bool BorrowFlag::try_take_exclusive() {
  if (state_ != 0) return false;
  state_ = -1;
  return true;
}

Borrow::Borrow(BorrowFlag& flag, Access access)
    : flag_(flag),
      access_(access),
      held_(access == Access::shared ? flag.try_share() : flag.try_take_exclusive()) {
  if (held_) return;
  PyErr_SetString(PyExc_RuntimeError,
                  access == Access::shared ? "Already mutably borrowed" : "Already borrowed");
}

Borrow::~Borrow() {
  if (!held_) return;
  if (access_ == Access::shared) {
    flag_.release_shared();
  } else {
    flag_.release_exclusive();
  }
}

}  // namespace facetview
