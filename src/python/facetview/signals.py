"""Signals of the viewer: those that end it, and those it handles between frames."""

from __future__ import annotations

import os
import signal
from contextlib import contextmanager
from typing import Iterator, List

# Signals that end the viewer; each one unwinds it like an exception, so the
# terminal is given back before the process goes. SIGHUP says the terminal is
# gone: the viewer then ends without a word.
ENDING_SIGNALS = (signal.SIGTERM, signal.SIGHUP)

# Signals the viewer acts on at a safe point between frames: suspension by job
# control, and continuing (after its own suspension or a stop from elsewhere).
DEFERRED_SIGNALS = (signal.SIGTSTP, signal.SIGCONT)


class Terminated(BaseException):
    """An ending signal arrived."""

    def __init__(self, signum: int) -> None:
        super().__init__(signum)
        self.signum = signum


def _raise_terminated(signum: int, frame) -> None:
    raise Terminated(signum)


@contextmanager
def ending_signals_raise() -> Iterator[None]:
    previous = {signum: signal.signal(signum, _raise_terminated) for signum in ENDING_SIGNALS}
    try:
        yield
    finally:
        for signum, handler in previous.items():
            signal.signal(signum, handler)


class DeferredSignals:
    """Records the deferred signals as they arrive, to be taken between frames.

    fileno() becomes readable when one arrives, so a wait on input can include
    it and end early. Use in the main thread, as a context manager.
    """

    def __init__(self) -> None:
        self._pending: List[int] = []
        self._read_fd = self._write_fd = -1
        self._previous_wakeup = -1
        self._previous_handlers: dict = {}

    def __enter__(self) -> "DeferredSignals":
        self._read_fd, self._write_fd = os.pipe()
        os.set_blocking(self._read_fd, False)
        os.set_blocking(self._write_fd, False)
        try:
            self._previous_wakeup = signal.set_wakeup_fd(self._write_fd, warn_on_full_buffer=False)
            for signum in DEFERRED_SIGNALS:
                self._previous_handlers[signum] = signal.signal(signum, self._record)
        except BaseException:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc_info) -> None:
        for signum, handler in self._previous_handlers.items():
            signal.signal(signum, handler)
        self._previous_handlers.clear()
        if self._write_fd >= 0:
            signal.set_wakeup_fd(self._previous_wakeup)
            os.close(self._read_fd), os.close(self._write_fd)
            self._read_fd = self._write_fd = -1

    def _record(self, signum: int, frame) -> None:
        self._pending.append(signum)

    def fileno(self) -> int:
        return self._read_fd

    def take(self) -> List[int]:
        """The signals that arrived since the last call, oldest first."""
        try:
            while os.read(self._read_fd, 512):
                pass
        except BlockingIOError:
            pass
        pending, self._pending = self._pending, []
        return pending


def stop_process(whole_group: bool) -> None:
    """Stops as job control does (SIGTSTP, default action) and returns once continued.

    In an orphaned process group the system discards the signal (no shell could
    continue the process), so this then returns at once.
    """
    previous = signal.signal(signal.SIGTSTP, signal.SIG_DFL)
    unblocked = signal.pthread_sigmask(signal.SIG_UNBLOCK, {signal.SIGTSTP})
    try:
        os.kill(0 if whole_group else os.getpid(), signal.SIGTSTP)
    finally:
        signal.pthread_sigmask(signal.SIG_SETMASK, unblocked)
        signal.signal(signal.SIGTSTP, previous)
