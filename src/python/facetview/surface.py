"""Surface: the native surface, with protocol "auto" chosen by asking the terminal."""

from __future__ import annotations

import inspect
from typing import Any, Dict

from . import _facetview as native
from .terminal_query import Capabilities, environment_true_colour, terminal_capabilities


def told_arguments(capabilities: Capabilities) -> Dict[str, Any]:
    """The Surface arguments for what the terminal told of its cells and sixel limits."""
    return {"cell_size": capabilities.cell_size, "max_size": capabilities.sixel_max_size,
            "colours": capabilities.colour_registers}


class Surface(native.Surface):
    # Draws meshes over a viewport of the terminal. protocol "auto" asks the terminal,
    # once per process, and draws with the method it chose, in the cell size and sixel
    # limits it told of; half-block cells take their colour depth from the environment
    # unless true_colour is given. Arguments given count over what was found; all else,
    # errors included, is the native type's.

    __slots__ = ()
    # Named, documented and introspected as the package's other classes are: the
    # arguments are the native type's, the docstring holds only the signature.
    __module__ = "builtins"
    __doc__ = native.Surface.__doc__
    __signature__ = inspect.signature(native.Surface)

    def __init_subclass__(cls, **kwargs: Any) -> None:
        # Like the package's other classes, Surface is final.
        raise TypeError("type 'builtins.Surface' is not an acceptable base type")

    def __new__(cls, *args: Any, **kwargs: Any) -> "Surface":
        protocol = kwargs.get("protocol")
        if isinstance(protocol, str) and protocol == "auto":
            told = terminal_capabilities()
            protocol = told.method
            kwargs = {**told_arguments(told), **kwargs, "protocol": protocol}
        if isinstance(protocol, str) and protocol == "blocks":
            kwargs.setdefault("true_colour", environment_true_colour())
        return super().__new__(cls, *args, **kwargs)
