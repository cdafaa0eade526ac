"""Opening the model the viewer shows: the one place that reads model files."""

from __future__ import annotations

import os
from dataclasses import dataclass
from typing import Optional

from . import _facetview as native
from .solid_demo import solid_demo


class ModelError(Exception):
    """A model that cannot be shown; the text is one line for the user."""


# The model argument that stands for standard input, and the file that reads it
# (opened anew, so a redirected file is read from its start).
STANDARD_INPUT = "-"
STANDARD_INPUT_PATH = "/dev/stdin"


@dataclass(frozen=True)
class Model:
    mesh: native.Mesh
    path: Optional[str]  # None for the built-in model
    up: str  # the axis that points up in the model's own coordinates, such as "z"

    @property
    def title(self) -> str:
        """What the status line calls the model: its file's name, else the mesh's own name."""
        if self.path == STANDARD_INPUT:
            return "standard input"
        return shown_path(os.path.basename(self.path)) if self.path is not None else self.mesh.name


# 3D-printing and CAD files put +Z up; the built-in hull is made with +Y up.
FILE_UP = "z"
BUILT_IN_UP = "y"


def open_model(path: Optional[str], up: Optional[str] = None) -> Model:
    """The model at path ("-" for standard input, its format told by its content), or the
    built-in one; up overrides the usual up axis."""
    if path is None:
        return Model(solid_demo(), None, up or BUILT_IN_UP)
    source = STANDARD_INPUT_PATH if path == STANDARD_INPUT else path
    try:
        # As bytes, a file name that is not valid UTF-8 reaches the file system unchanged.
        mesh = native.Mesh.load(os.fsencode(source))
    except RuntimeError as error:
        shown = "standard input" if path == STANDARD_INPUT else shown_path(path)
        raise ModelError(f"{shown}: {failure_reason(error)}") from None
    except UnicodeError:
        raise ModelError(f"{shown_path(path)}: the file name cannot be encoded") from None
    return Model(mesh, path, up or FILE_UP)


def shown_path(path: str) -> str:
    """The path for a message: bytes that are not UTF-8 shown as \\xNN escapes."""
    try:
        return os.fsencode(path).decode("utf-8", "backslashreplace")
    except UnicodeError:  # a name that no file can have
        return path.encode("utf-8", "backslashreplace").decode("utf-8")


def failure_reason(error: RuntimeError) -> str:
    """Why a call of the module failed: the causes it attached, outermost first, down to a
    system error or the reader's own reason ("OBJ line 4: vertex index 9 out of range ...")."""
    reasons = []
    cause = error.__cause__
    while cause is not None:
        if isinstance(cause, OSError):
            reasons.append(cause.strerror or str(cause))
            break
        reasons.append(str(cause))
        cause = cause.__cause__
    return ": ".join(reasons) or str(error)
