"""Turning models upright: rotations composed and turned back into camera angles.

The renderer turns a vertex by yaw about Y, then pitch about X, then roll about
Z (right-handed rotations, view space X right, Y up, Z towards the eye), that
is by Rz(roll)·Rx(pitch)·Ry(yaw). The viewer's camera angles are meant for an
upright model (its up axis along +Y); a model with another up axis is first
turned by a fixed rotation, and the product is expressed again as the
renderer's three angles.
"""

from __future__ import annotations

import math
from typing import Tuple

Vector = Tuple[float, float, float]
Matrix = Tuple[Vector, Vector, Vector]

IDENTITY: Matrix = ((1.0, 0.0, 0.0), (0.0, 1.0, 0.0), (0.0, 0.0, 1.0))

# For each choice of up axis, the rotation that takes it to +Y. A model with
# +Z up (3D printing, CAD) then shows its front (-Y) to the eye.
UP_ROTATIONS = {
    "z": ((1.0, 0.0, 0.0), (0.0, 0.0, 1.0), (0.0, -1.0, 0.0)),
    "y": IDENTITY,
    "x": ((0.0, -1.0, 0.0), (1.0, 0.0, 0.0), (0.0, 0.0, 1.0)),
    "-z": ((1.0, 0.0, 0.0), (0.0, 0.0, -1.0), (0.0, 1.0, 0.0)),
    "-y": ((1.0, 0.0, 0.0), (0.0, -1.0, 0.0), (0.0, 0.0, -1.0)),
    "-x": ((0.0, 1.0, 0.0), (-1.0, 0.0, 0.0), (0.0, 0.0, 1.0)),
}
UP_AXES = tuple(UP_ROTATIONS)

# Below this distance of |sin(pitch)| from 1, yaw and roll turn about the same
# axis and only their sum is fixed: it goes to roll.
GIMBAL_LOCK = 1e-12


def multiply(a: Matrix, b: Matrix) -> Matrix:
    return tuple(tuple(sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3)) for i in range(3))


def rotation_x(angle: float) -> Matrix:
    c, s = math.cos(angle), math.sin(angle)
    return ((1.0, 0.0, 0.0), (0.0, c, -s), (0.0, s, c))


def rotation_y(angle: float) -> Matrix:
    c, s = math.cos(angle), math.sin(angle)
    return ((c, 0.0, s), (0.0, 1.0, 0.0), (-s, 0.0, c))


def rotation_z(angle: float) -> Matrix:
    c, s = math.cos(angle), math.sin(angle)
    return ((c, -s, 0.0), (s, c, 0.0), (0.0, 0.0, 1.0))


def camera_rotation(pitch: float, yaw: float, roll: float) -> Matrix:
    """The rotation the renderer applies for these angles."""
    return multiply(rotation_z(roll), multiply(rotation_x(pitch), rotation_y(yaw)))


def camera_angles(rotation: Matrix) -> Tuple[float, float, float]:
    """(pitch, yaw, roll) whose camera_rotation is the given rotation.

    The bottom row of Rz·Rx·Ry is (-cos p·sin y, sin p, cos p·cos y) and its
    middle column (-sin r·cos p, cos r·cos p, sin p).
    """
    sin_pitch = max(-1.0, min(1.0, rotation[2][1]))
    pitch = math.asin(sin_pitch)
    if 1.0 - abs(sin_pitch) < GIMBAL_LOCK:
        return pitch, 0.0, math.atan2(rotation[1][0], rotation[0][0])
    yaw = math.atan2(-rotation[2][0], rotation[2][2])
    roll = math.atan2(-rotation[0][1], rotation[1][1])
    return pitch, yaw, roll


def upright_camera_angles(pitch: float, yaw: float, roll: float, up: str) -> Tuple[float, float, float]:
    """The renderer's angles that show a model with this up axis as (pitch, yaw, roll) show an upright one."""
    if up == "y":
        return pitch, yaw, roll  # exactly, with no rounding on the way
    return camera_angles(multiply(camera_rotation(pitch, yaw, roll), UP_ROTATIONS[up]))
