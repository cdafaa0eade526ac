"""Shows one frame of the demo hull over the whole terminal but its last row, then waits
to be looked at: `python show_frame.py PROTOCOL PITCH YAW ROLL ZOOM`."""

import os
import sys
import time

import facetview as f

protocol, pitch, yaw, roll, zoom = sys.argv[1], *map(float, sys.argv[2:6])
cols, rows = os.get_terminal_size(1)
surface = f.Surface("medium", protocol=protocol)
surface.render_to_terminal(f.Mesh.demo(), f.Camera(pitch, yaw, roll, zoom), f.Viewport.full_screen(cols, rows, 1))
time.sleep(120)
