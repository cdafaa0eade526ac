"""Following a model file as it changes: the viewer's part of the design loop.

Editors and exporters write in place, truncate first and write after, or
write a new file and rename it over the old one. The file is looked at by
path, so all three are seen: its identity (device, inode) and its size and
times make a signature, looked at a few times a second. A load starts once
the signature has held still for one look, so a file still being written is
mostly not read half-way; when it is, the load fails, the old model stays and
the reason is shown, and the next change loads again.

Loading runs on a thread of its own: the native decoder lets go of the
interpreter lock, so the viewer keeps drawing and reading keys meanwhile.
"""

from __future__ import annotations

import os
import threading
import time
from typing import Callable, Optional, Tuple, Union

from .models import Model, ModelError, open_model

# Seconds between two looks at the file.
POLL_INTERVAL = 0.15

Signature = Optional[Tuple[int, int, int, int, int]]


def file_signature(path: str) -> Signature:
    """What changes when the file is written or replaced; None while it is missing."""
    try:
        status = os.stat(path)
    except OSError:
        return None
    return (status.st_dev, status.st_ino, status.st_size, status.st_mtime_ns, status.st_ctime_ns)


class BackgroundLoad:
    """One model load on a thread of its own; result() is None until it is done."""

    def __init__(self, load: Callable[[], Model]) -> None:
        self._outcome: Optional[Union[Model, ModelError]] = None
        self._done = threading.Event()
        self._thread = threading.Thread(target=self._run, args=(load,), daemon=True)
        self._thread.start()

    def _run(self, load: Callable[[], Model]) -> None:
        try:
            self._outcome = load()
        except ModelError as error:
            self._outcome = error
        except MemoryError:
            self._outcome = ModelError("not enough memory to load the model")
        finally:
            self._done.set()

    def result(self) -> Optional[Union[Model, ModelError]]:
        return self._outcome if self._done.is_set() else None


class ModelWatcher:
    """Reloads the model at path whenever the file changes.

    poll() is called from the viewer's loop; it returns a new Model when one has
    loaded, a ModelError when a load failed, and None otherwise.
    """

    def __init__(self, path: str, up: Optional[str], clock: Callable[[], float] = time.monotonic,
                 interval: float = POLL_INTERVAL) -> None:
        self.path = path
        self.up = up
        self.clock = clock
        self.interval = interval
        self._loaded = file_signature(path)  # the model on screen came from this
        self._seen = self._loaded
        self._next_look = clock() + interval
        self._load: Optional[BackgroundLoad] = None
        self._load_signature: Signature = None

    def poll(self) -> Optional[Union[Model, ModelError]]:
        if self._load is not None:
            outcome = self._load.result()
            if outcome is None:
                return None
            self._load = None
            self._loaded = self._load_signature
            return outcome
        now = self.clock()
        if now < self._next_look:
            return None
        self._next_look = now + self.interval
        signature = file_signature(self.path)
        settled = signature == self._seen
        self._seen = signature
        if settled and signature is not None and signature != self._loaded:
            self._load_signature = signature
            self._load = BackgroundLoad(lambda: open_model(self.path, self.up))
        return None
