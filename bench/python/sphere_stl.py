"""Writes a closed UV sphere as binary or ASCII STL, for the Python benchmarks."""

from __future__ import annotations

import math
import struct
from array import array
from typing import BinaryIO, Iterator, Tuple

Point = Tuple[float, float, float]


def sphere_triangles(rings: int, segments: int, radius: float = 0.95) -> Iterator[Tuple[Point, Point, Point]]:
    """2 * segments * (rings - 1) triangles, counter-clockwise seen from outside."""
    def point(ring: int, segment: int) -> Point:
        polar = math.pi * ring / (rings - 1)
        azimuth = 2.0 * math.pi * segment / segments
        return (
            radius * math.sin(polar) * math.cos(azimuth),
            radius * math.cos(polar),
            radius * math.sin(polar) * math.sin(azimuth),
        )

    previous = [point(0, s) for s in range(segments + 1)]
    for ring in range(1, rings):
        current = [point(ring, s) for s in range(segments + 1)]
        for s in range(segments):
            a, b, c, d = previous[s], previous[s + 1], current[s], current[s + 1]
            yield a, b, c
            yield b, d, c
        previous = current


def write_binary(out: BinaryIO, rings: int, segments: int) -> int:
    count = 2 * segments * (rings - 1)
    out.write(b"python benchmark sphere".ljust(80, b"\0"))
    out.write(struct.pack("<I", count))
    record = array("f", [0.0] * 12)
    for a, b, c in sphere_triangles(rings, segments):
        record[3:6], record[6:9], record[9:12] = array("f", a), array("f", b), array("f", c)
        out.write(record.tobytes())
        out.write(b"\0\0")
    return count


def write_ascii(out: BinaryIO, rings: int, segments: int) -> int:
    count = 0
    out.write(b"solid python benchmark sphere\n")
    lines = []
    for a, b, c in sphere_triangles(rings, segments):
        lines.append(
            "  facet normal 0.000000e+00 0.000000e+00 0.000000e+00\n    outer loop\n"
            "      vertex %e %e %e\n      vertex %e %e %e\n      vertex %e %e %e\n"
            "    endloop\n  endfacet\n" % (*a, *b, *c)
        )
        count += 1
        if len(lines) == 10000:
            out.write("".join(lines).encode())
            lines.clear()
    out.write("".join(lines).encode())
    out.write(b"endsolid python benchmark sphere\n")
    return count
