"""Opening the model the viewer shows: the one place that reads model files."""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import Optional

from . import _facetview as native


class ModelError(Exception):
    """A model that cannot be shown; the text is one line for the user."""


@dataclass(frozen=True)
class Model:
    mesh: native.Mesh
    path: Optional[str]  # None for the built-in model
    up: str  # the axis that points up in the model's own coordinates, such as "z"


# 3D-printing and CAD files put +Z up; the built-in hull is made with +Y up.
FILE_UP = "z"
BUILT_IN_UP = "y"


def open_model(path: Optional[str], up: Optional[str] = None) -> Model:
    """The model at path, or the built-in one; up overrides the usual up axis."""
    if path is None:
        return Model(native.Mesh.demo(), None, up or BUILT_IN_UP)
    try:
        # As bytes, a file name that is not valid UTF-8 reaches the file system unchanged.
        mesh = native.Mesh.from_stl(os.fsencode(path))
    except RuntimeError as error:
        raise ModelError(f"{shown_path(path)}: {load_failure_reason(error)}") from None
    except UnicodeError:
        raise ModelError(f"{shown_path(path)}: the file name cannot be encoded") from None
    return Model(mesh, path, up or FILE_UP)


def shown_path(path: str) -> str:
    """The path for a message: bytes that are not UTF-8 shown as \\xNN escapes."""
    try:
        return os.fsencode(path).decode("utf-8", "backslashreplace")
    except UnicodeError:  # a name that no file can have
        return path.encode("utf-8", "backslashreplace").decode("utf-8")


def load_failure_reason(error: RuntimeError) -> str:
    """Why a model did not load: the cause the loader attached (a system error or the reader's own)."""
    cause = error.__cause__
    if isinstance(cause, OSError):
        return cause.strerror or str(cause)
    return str(cause if cause is not None else error)
