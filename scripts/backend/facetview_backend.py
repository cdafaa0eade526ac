"""The package's build backend: meson-python's, with an honest wheel tag.

The extension module uses only CPython's stable ABI as of the version that
`requires-python` names in pyproject.toml (Py_LIMITED_API in
src/python/meson.build), so one wheel serves that version and every later one.
meson-python tags an abi3 wheel with the interpreter that built it (such as
cp311-abi3), which would keep pip from installing it on older versions; this
backend retags it with the oldest version instead (cp39-abi3).
"""

import base64
import hashlib
import os
import re
import zipfile

from mesonpy import build_sdist, get_requires_for_build_sdist, get_requires_for_build_wheel  # noqa: F401
import mesonpy

_PYPROJECT = os.path.join(os.path.dirname(__file__), "..", "..", "pyproject.toml")


def _oldest_python_tag():
    with open(_PYPROJECT, encoding="utf-8") as stream:
        match = re.search(r'^requires-python\s*=\s*">=\s*(\d+)\.(\d+)"', stream.read(), re.M)
    if match is None:
        raise RuntimeError('pyproject.toml: requires-python must read ">=3.N"')
    return f"cp{match.group(1)}{match.group(2)}"


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def _retag(directory, name, python_tag):
    """Rewrites wheel `name` in `directory` with `python_tag`; returns the new name."""
    distribution, version, interpreter, abi, platform = name[: -len(".whl")].split("-")
    if abi != "abi3" or interpreter == python_tag:
        return name
    new_name = f"{distribution}-{version}-{python_tag}-{abi}-{platform}.whl"
    old_tag = f"{interpreter}-{abi}-{platform}"
    new_tag = f"{python_tag}-{abi}-{platform}"
    source = os.path.join(directory, name)
    target = os.path.join(directory, new_name)
    with zipfile.ZipFile(source) as old, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as new:
        entries = old.infolist()
        wheel_name = next(e.filename for e in entries if e.filename.endswith(".dist-info/WHEEL"))
        wheel = old.read(wheel_name).replace(f"Tag: {old_tag}".encode(), f"Tag: {new_tag}".encode())
        for entry in entries:
            data = old.read(entry.filename)
            if entry.filename == wheel_name:
                data = wheel
            elif entry.filename.endswith(".dist-info/RECORD"):
                lines = [
                    _record_line(wheel_name, wheel) if line.startswith(wheel_name + ",") else line
                    for line in data.decode().splitlines()
                ]
                data = ("\n".join(lines) + "\n").encode()
            new.writestr(entry, data)
    os.remove(source)
    return new_name


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    name = mesonpy.build_wheel(wheel_directory, config_settings, metadata_directory)
    return _retag(wheel_directory, name, _oldest_python_tag())
