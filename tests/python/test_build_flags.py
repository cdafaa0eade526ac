"""The installed module is the optimised build that the benchmarks measure: every translation unit
records its compiler options in the section .GCC.command.line of the shared object (identical records
are merged at link time, so each distinct set of options appears once)."""

import importlib.metadata
import re
import shutil
import subprocess
from pathlib import Path

import pytest

from facetview import _facetview


def recorded_compile_options():
    readelf = shutil.which("readelf")
    if readelf is None:
        pytest.fail("readelf (binutils) is needed to read the module's recorded options")
    dump = subprocess.run(
        [readelf, "--string-dump=.GCC.command.line", _facetview.__file__],
        capture_output=True, text=True, check=True,
    ).stdout
    return [match.group(1) for match in re.finditer(r"^\s*\[\s*[0-9a-f]+\]\s+(.*)$", dump, re.MULTILINE)]


def test_every_unit_of_the_installed_module_is_built_at_o3():
    records = recorded_compile_options()
    assert records, "the module records no compiler options"
    for record in records:
        levels = re.findall(r"(?:^|\s)-O(\S*)", record)
        assert levels and levels[-1] == "3", record
        # The renderer's arithmetic must stay exactly as written.
        assert "-ffp-contract=off" in record.split() and "-ffast-math" not in record.split(), record


def test_the_installed_wheel_is_tagged_with_the_stable_abi_the_module_is_built_for():
    # The limited API the module is compiled for, the oldest Python the package
    # claims, and the wheel's tag name the same version.
    root = Path(__file__).resolve().parents[2]
    major, minor = (int(part, 16) for part in re.search(
        r"-DPy_LIMITED_API=0x([0-9a-f]{2})([0-9a-f]{2})", (root / "src/python/meson.build").read_text()).groups())
    assert f'requires-python = ">={major}.{minor}"' in (root / "pyproject.toml").read_text()
    wheel = importlib.metadata.distribution("facetview").read_text("WHEEL")
    assert re.search(rf"^Tag: cp{major}{minor}-abi3-", wheel, re.MULTILINE), wheel
