"""OrbitCamera from Python: its values, and frames that match Camera's where
the two agree; edges and the axis triad as render keywords and surface switches."""

import pytest

import facetview as f

DEMO = f.Mesh.demo()


def test_defaults_fields_and_repr():
    camera = f.OrbitCamera()
    assert (camera.target, camera.distance, camera.pitch, camera.yaw, camera.roll, camera.orthographic) == (
        (0.0, 0.0, 0.0), 3.25, f.Camera().pitch, f.Camera().yaw, 0.0, False)
    assert repr(camera) == ("OrbitCamera(target=(0, 0, 0), distance=3.25, pitch=0.45, yaw=-0.55, roll=0, "
                            "orthographic=False)")
    camera = f.OrbitCamera([0.1, -2, 1e20], 0.01, 1, 2, 3, orthographic=1)
    assert repr(camera) == ("OrbitCamera(target=(0.1, -2, 100000000000000000000), distance=0.01, pitch=1, "
                            "yaw=2, roll=3, orthographic=True)")
    camera.target, camera.distance, camera.orthographic = (1, 2, 3), 1e6, False
    assert (camera.target, camera.distance, camera.orthographic) == ((1.0, 2.0, 3.0), 1e6, False)


@pytest.mark.parametrize("field, value, error", [
    ("distance", 0.0, ValueError), ("target", (1, 2, 3, 4), TypeError), ("pitch", "x", TypeError),
])
def test_a_refused_assignment_keeps_the_field(field, value, error):
    camera = f.OrbitCamera()
    before = getattr(camera, field)
    with pytest.raises(error):
        setattr(camera, field, value)
    with pytest.raises(AttributeError, match="can't delete attribute"):
        delattr(camera, field)
    assert getattr(camera, field) == before


def test_an_orbit_camera_draws_what_the_equivalent_camera_draws():
    # The renderer's side is checked over many views in C++; here, that every field crosses over.
    camera = f.Camera(2.0, 1.0, -1.0, 0.7)
    orbit = f.OrbitCamera(distance=3.25 / camera.zoom, pitch=2.0, yaw=1.0, roll=-1.0)
    # The distance is the 32-bit quotient the renderer forms from the zoom.
    assert orbit.distance == f.OrbitCamera(distance=float.fromhex(orbit.distance.hex())).distance
    assert f.render(DEMO, orbit, 97, 61) == f.render(DEMO, camera, 97, 61)


def test_edges_are_drawn_only_when_asked_for(tmp_path):
    from PIL import Image

    camera = f.OrbitCamera(orthographic=True)
    plain, edged = f.render(DEMO, camera, 120, 80), f.render(DEMO, camera, 120, 80, edges=True)
    assert f.render(DEMO, camera, 120, 80, edges=False) == plain != edged
    f.save_png(tmp_path / "demo.png", DEMO, camera, 120, 80, edges=True)
    with Image.open(tmp_path / "demo.png") as image:
        assert image.tobytes() == edged


def test_surface_switches_and_repr():
    surface = f.Surface("low", edges=True)
    assert (surface.edges, surface.axis_triad, repr(surface)) == (True, False, 'Surface(quality="low", edges=True)')
    surface.edges, surface.axis_triad = 0, "yes"
    assert (surface.edges, surface.axis_triad, repr(surface)) == (False, True, 'Surface(quality="low")')
