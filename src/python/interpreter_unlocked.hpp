// Other Python threads run while a call renders, compresses, reads or writes.
#pragma once

namespace facetview {

// Releases the interpreter lock for its own lifetime. The objects of the call
// stay borrowed (borrow.hpp), so other threads run but cannot change them;
// nothing inside touches the interpreter except under InterpreterRelocked.
// Takes the lock back on every way out, a C++ exception included.
class InterpreterUnlocked {
 public:
  InterpreterUnlocked();
  ~InterpreterUnlocked();
  InterpreterUnlocked(const InterpreterUnlocked&) = delete;
  InterpreterUnlocked& operator=(const InterpreterUnlocked&) = delete;
};

// Holds the interpreter lock for its own lifetime: takes it back where this
// thread released it with InterpreterUnlocked, and changes nothing where the
// thread holds it already. For running signal handlers from inside a wait.
class InterpreterRelocked {
 public:
  InterpreterRelocked();
  ~InterpreterRelocked();
  InterpreterRelocked(const InterpreterRelocked&) = delete;
  InterpreterRelocked& operator=(const InterpreterRelocked&) = delete;

 private:
  bool relocked_;
};

}  // namespace facetview
