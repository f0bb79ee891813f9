#!/usr/bin/env python3
"""Writes the bundled models: the build plate and the sample part.

Run from this folder; the outputs are committed so the build needs no Python.
"""
import math
import struct


def write_binary_stl(path, triangles, header=b"Orvell3D generated model"):
    with open(path, "wb") as f:
        f.write(header.ljust(80, b" "))
        f.write(struct.pack("<I", len(triangles)))
        for a, b, c in triangles:
            ux, uy, uz = (b[i] - a[i] for i in range(3))
            vx, vy, vz = (c[i] - a[i] for i in range(3))
            n = (uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx)
            length = math.sqrt(sum(x * x for x in n)) or 1.0
            f.write(struct.pack("<3f", *(x / length for x in n)))
            for p in (a, b, c):
                f.write(struct.pack("<3f", *p))
            f.write(b"\0\0")


def box(x0, y0, z0, x1, y1, z1):
    p = [(x, y, z) for z in (z0, z1) for y in (y0, y1) for x in (x0, x1)]
    quads = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    tris = []
    for a, b, c, d in quads:
        tris.append((p[a], p[b], p[c]))
        tris.append((p[a], p[c], p[d]))
    return tris


def washer(r_out, r_in, height, segments):
    """A ring with a round hole, closed and wound outward."""
    tris = []
    for k in range(segments):
        t0 = 2 * math.pi * k / segments
        t1 = 2 * math.pi * (k + 1) / segments
        o0 = (r_out * math.cos(t0), r_out * math.sin(t0))
        o1 = (r_out * math.cos(t1), r_out * math.sin(t1))
        i0 = (r_in * math.cos(t0), r_in * math.sin(t0))
        i1 = (r_in * math.cos(t1), r_in * math.sin(t1))
        lo = lambda p: (p[0], p[1], 0.0)
        hi = lambda p: (p[0], p[1], height)
        tris += [(lo(o0), lo(o1), hi(o1)), (lo(o0), hi(o1), hi(o0))]      # outer wall
        tris += [(lo(i1), lo(i0), hi(i0)), (lo(i1), hi(i0), hi(i1))]      # inner wall
        tris += [(hi(o0), hi(o1), hi(i1)), (hi(o0), hi(i1), hi(i0))]      # top
        tris += [(lo(o1), lo(o0), lo(i0)), (lo(o1), lo(i0), lo(i1))]      # bottom
    return tris


def grid_base(width, depth, height, frame, rib, pitch):
    """A flat lattice: a frame around ribs in both directions, overlapping closed boxes."""
    w, d = width / 2, depth / 2
    tris = box(-w, -d, 0, w, -d + frame, height) + box(-w, d - frame, 0, w, d, height)
    tris += box(-w, -d, 0, -w + frame, d, height) + box(w - frame, -d, 0, w, d, height)
    x = -w + pitch
    while x < w - frame:
        tris += box(x - rib / 2, -d, 0, x + rib / 2, d, height)
        x += pitch
    y = -d + pitch
    while y < d - frame:
        tris += box(-w, y - rib / 2, 0, w, y + rib / 2, height)
        y += pitch
    return tris


if __name__ == "__main__":
    # Default printable area: 1920 x 1080 pixels of 33.5 um.
    w, h = 1920 * 0.0335, 1080 * 0.0335
    write_binary_stl("BuildPlate_SAv1.STL", box(-w / 2, -h / 2, -1.0, w / 2, h / 2, 0.0))
    write_binary_stl("sample_washer.stl", washer(12.0, 6.0, 5.0, 96))
    write_binary_stl("Grid_bottom_118x67.stl", grid_base(118.0, 67.0, 1.0, 2.0, 0.8, 5.0))
