#include "python/python.hpp"

#include "python/interpreter_unlocked.hpp"

namespace facetview {
namespace {

// The state this thread saved when it released the lock; null while it holds it.
thread_local PyThreadState* released_state = nullptr;

}  // namespace

InterpreterUnlocked::InterpreterUnlocked() {
  released_state = PyEval_SaveThread();
}

InterpreterUnlocked::~InterpreterUnlocked() {
  PyEval_RestoreThread(released_state);
  released_state = nullptr;
}

InterpreterRelocked::InterpreterRelocked() : relocked_(released_state != nullptr) {
  if (!relocked_) return;
  PyEval_RestoreThread(released_state);
  // Held again: a wait nested in here must not take it a second time.
  released_state = nullptr;
}

InterpreterRelocked::~InterpreterRelocked() {
  if (relocked_) released_state = PyEval_SaveThread();
}

}  // namespace facetview
