"""Models stood on their up axis: composed rotations, and what the whole viewer draws."""

import math

import pytest

from facetview.orientation import UP_AXES, UP_ROTATIONS, upright_camera_angles

from conftest import binary_stl, run_viewer
from kitty_stream import decode_frame

AXES = {"x": (1, 0, 0), "y": (0, 1, 0), "z": (0, 0, 1), "-x": (-1, 0, 0), "-y": (0, -1, 0), "-z": (0, 0, -1)}
POSES = [(0.0, 0.0, 0.0), (0.45, -0.55, 0.0), (-1.2, 2.9, 0.7), (math.pi / 2, 0.3, -0.4), (-math.pi / 2, 1.0, 2.0),
         (3.0, -3.0, 3.0)]


def renderer_view(point, pitch, yaw, roll):
    """The renderer's view transform, step by step as it does it: yaw about Y, pitch about X, roll about Z."""
    x, y, z = point
    x1 = x * math.cos(yaw) + z * math.sin(yaw)
    z1 = z * math.cos(yaw) - x * math.sin(yaw)
    y2 = y * math.cos(pitch) - z1 * math.sin(pitch)
    view_z = y * math.sin(pitch) + z1 * math.cos(pitch)
    return (x1 * math.cos(roll) - y2 * math.sin(roll), x1 * math.sin(roll) + y2 * math.cos(roll), view_z)


def close(a, b):
    return all(math.isclose(p, q, abs_tol=1e-9) for p, q in zip(a, b))


def rotated(up, point):
    return tuple(sum(UP_ROTATIONS[up][i][k] * point[k] for k in range(3)) for i in range(3))


@pytest.mark.parametrize("up", UP_AXES)
@pytest.mark.parametrize("pose", POSES)
def test_angles_for_a_model_with_an_up_axis_show_it_as_the_pose_shows_an_upright_one(up, pose):
    # The rotation stands the up axis upright, so the turntable turns about it.
    assert close(rotated(up, AXES[up]), (0, 1, 0))
    angles = upright_camera_angles(*pose, up)
    for point in [(1, 0, 0), (0, 1, 0), (0, 0, 1), (0.3, -0.7, 0.2)]:
        assert close(renderer_view(point, *angles), renderer_view(rotated(up, point), *pose))


def box(x0, x1, y0, y1, z0, z1):
    """The twelve triangles of a box, wound outwards."""
    corner = {(i, j, k): ((x0, x1)[i], (y0, y1)[j], (z0, z1)[k]) for i in (0, 1) for j in (0, 1) for k in (0, 1)}
    quads = [((0, 0, 0), (0, 0, 1), (0, 1, 1), (0, 1, 0)), ((1, 0, 0), (1, 1, 0), (1, 1, 1), (1, 0, 1)),
             ((0, 0, 0), (1, 0, 0), (1, 0, 1), (0, 0, 1)), ((0, 1, 0), (0, 1, 1), (1, 1, 1), (1, 1, 0)),
             ((0, 0, 0), (0, 1, 0), (1, 1, 0), (1, 0, 0)), ((0, 0, 1), (1, 0, 1), (1, 1, 1), (0, 1, 1))]
    return [tuple(corner[c] for c in triangle) for a, b, c, d in quads for triangle in ((a, b, c), (a, c, d))]


def drawn_rows(path, *options):
    """For each pixel row of the picture, how many of its pixels differ from the background alone."""
    def frame(model, *options):
        result = run_viewer("--once", "--size", "30x16", "--pitch", "0", "--yaw", "0", "--no-spin", "--no-edges",
                            str(model), *options)
        assert result.returncode == 0, result.stderr
        return decode_frame(result.stdout, 30, 15)

    width, height, pixels = frame(path, *options)
    # One triangle that faces away from the eye: nothing but the background is drawn.
    path.with_name("away.stl").write_bytes(binary_stl([((0, 0, 0), (0, 1, 0), (1, 0, 0))]))
    _, _, background = frame(path.with_name("away.stl"), "--up", "y")
    return [sum(pixels[(row * width + col) * 4:(row * width + col) * 4 + 3]
                != background[(row * width + col) * 4:(row * width + col) * 4 + 3] for col in range(width))
            for row in range(height)]


@pytest.mark.parametrize("options, standing, foot_below", [
    ([], True, True),  # model files stand on +Z unless told otherwise
    (["--up", "-z"], True, False),
    (["--up", "y"], False, None),  # the L lies flat, its upright bar pointing at the eye
])
def test_an_l_shaped_part_stands_on_its_up_axis(tmp_path, options, standing, foot_below):
    # An upright bar (x 0..1, z 0..4) with a foot along +X at its bottom (x 1..3, z 0..1).
    (tmp_path / "l.stl").write_bytes(binary_stl(box(0, 1, 0, 1, 0, 4) + box(1, 3, 0, 1, 0, 1)))
    counts = drawn_rows(tmp_path / "l.stl", *options)
    rows = [count for count in counts if count]
    assert (len(rows) > len(counts) / 2) == standing
    if standing:
        top, bottom = rows[: len(rows) // 5], rows[-(len(rows) // 5):]
        assert (max(bottom) > 1.8 * max(top)) == foot_below
        assert (max(top) > 1.8 * max(bottom)) == (not foot_below)
