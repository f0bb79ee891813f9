#!/usr/bin/env python3
"""orvell3d-cli's --json output, read as a script would: with Python's json module.

Usage: json_report.py ORVELL3D-CLI
Checks the figures against the geometry of a box written here (10 x 20 x 5 mm, 12 triangles).
"""
import json
import os
import struct
import subprocess
import sys
import tempfile
import zipfile

PASSWORD = b"KVTR570213"


def write_box_stl(path, sx, sy, sz):
    """A closed box as binary STL: 12 triangles, 8 distinct corners."""
    def corner(i):
        return ((i & 1) * sx, ((i >> 1) & 1) * sy, ((i >> 2) & 1) * sz)
    faces = [(0, 2, 3, 1), (4, 5, 7, 6), (0, 1, 5, 4), (2, 6, 7, 3), (0, 4, 6, 2), (1, 3, 7, 5)]
    data = bytearray(b"box".ljust(80, b" ")) + struct.pack("<I", 12)
    for a, b, c, d in faces:
        for tri in ((a, b, c), (a, c, d)):
            data += struct.pack("<3f", 0, 0, 0)
            for i in tri:
                data += struct.pack("<3f", *corner(i))
            data += b"\0\0"
    with open(path, "wb") as f:
        f.write(data)


def run(cli, args, data_dir):
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen", ORVELL3D_DATA_DIR=data_dir)
    return subprocess.run([cli, *args], capture_output=True, text=True, env=env, timeout=600)


def expect(condition, what, detail=""):
    if not condition:
        sys.exit("FAIL: %s %s" % (what, detail))


def approx(values, wanted):
    return len(values) == len(wanted) and all(abs(v - w) < 1e-4 for v, w in zip(values, wanted))


def png_size(data):
    expect(data[:8] == b"\x89PNG\r\n\x1a\n", "a layer is a PNG")
    return struct.unpack(">II", data[16:24])


def check_info(cli, work):
    box = os.path.join(work, "box.stl")
    write_box_stl(box, 10, 20, 5)
    r = run(cli, ["info", "--json", box], os.path.join(work, "data"))
    expect(r.returncode == 0, "info --json exits 0", r.stderr)
    report = json.loads(r.stdout)   # one JSON object and nothing else on standard output
    expect(report["command"] == "info" and report["failed"] == [], "info report header", r.stdout)
    (model,) = report["models"]
    expect(model["format"] == "binary STL", "format", model)
    expect(model["triangles"] == 12 and model["vertices"] == 8 and model["welded"], "welded box counts", model)
    expect(approx(model["minMm"], [0, 0, 0]) and approx(model["maxMm"], [10, 20, 5]), "bounding box", model)
    expect(approx(model["sizeMm"], [10, 20, 5]), "size", model)

    # A file that cannot be read: exit 1 as without --json, the reason on standard error,
    # and the report still one object that names it.
    broken = os.path.join(work, "broken.stl")
    with open(broken, "wb") as f:
        f.write(b"solid nothing\n")
    r = run(cli, ["info", "--json", box, broken], os.path.join(work, "data"))
    expect(r.returncode == 1, "info with a broken file exits 1", r.returncode)
    expect(len(r.stderr.strip().splitlines()) == 1 and "broken.stl" in r.stderr, "one error line", r.stderr)
    report = json.loads(r.stdout)
    expect(len(report["models"]) == 1 and report["failed"][0]["path"] == broken, "failed list", report)
    return box


def check_slice(cli, work, box):
    data = os.path.join(work, "data")
    # 400 × 300 pixels of 50 µm are 20 × 15 mm: the 20 mm box is cut at the image border.
    common = ["--renderer", "cpu", "--projector", "400x300", "--pixel-size", "50", "--allow-clipping"]

    # Layer folder: 5 mm at 50 µm is 100 layers.
    folder = os.path.join(work, "layers")
    r = run(cli, ["slice", "--json", "-o", folder, "--thickness", "50", *common, box], data)
    expect(r.returncode == 0, "slice into a folder", r.stderr)
    report = json.loads(r.stdout)
    expect(report["output"] == "folder" and report["path"] == folder, "folder report", report)
    expect(report["layers"] == 100 and report["images"] == 100, "100 layers of 50 µm in 5 mm", report)
    pngs = sorted(n for n in os.listdir(folder) if n.endswith("_P1.png"))
    expect(len(pngs) == report["images"], "one PNG per reported image", len(pngs))
    expect(report["projectorPx"] == [400, 300] and approx(report["pixelSizeUm"], [50, 50]), "geometry", report)
    expect(report["renderer"] == "cpu" and report["thicknessUm"] == 50, "renderer and thickness", report)
    expect(report["lastLayerZMm"] == 4.95, "the last layer starts 50 µm below the top", report)
    expect(set(report["timingsMs"]) >= {"draws", "pngEncoding", "fileWrites"}, "timings", report)

    # Package: the report names the file, its size and what it holds.
    r = run(cli, ["slice", "--json", "-o", os.path.join(work, "job.lpk"), "--thickness", "50", *common, box], data)
    expect(r.returncode == 0, "slice into a package", r.stderr)
    report = json.loads(r.stdout)
    package = os.path.join(work, "job_z50.lpk")
    expect(report["output"] == "package" and report["path"] == package, "package path", report)
    expect(report["packageBytes"] == os.path.getsize(package), "package size", report)
    expect(report["layers"] == 100 and report["thicknessUm"] == 50, "package layers", report)
    expect(report["resin"] != "" and report["machine"] != "", "profile named", report)
    with zipfile.ZipFile(package) as z:
        layers = [n for n in z.namelist() if n.endswith("_P1.png")]
        expect(len(layers) == report["images"], "package images", len(layers))
        expect(png_size(z.read(layers[0], pwd=PASSWORD)) == (400, 300), "layer size is the projector")
        script = z.read("buildscript.ini", pwd=PASSWORD).decode("utf-8", "replace")
    # The lamp-on time is the sum of the schedule's exposures ("Z, name, seconds, lift, kind").
    exposures = [float(line.split(",")[2]) for line in script.splitlines() if "_P1," in line]
    expect(len(exposures) == 100 and abs(report["exposureTotalS"] - sum(exposures)) < 1e-6, "total exposure",
           (report["exposureTotalS"], sum(exposures)))

    # Failures keep their exit status and leave standard output empty.
    r = run(cli, ["slice", "--json", "-o", folder, os.path.join(work, "missing.stl")], data)
    expect(r.returncode == 1 and r.stdout == "", "missing model: exit 1, no report", (r.returncode, r.stdout))
    r = run(cli, ["slice", "--json", "--thickness", "x", "-o", folder, box], data)
    expect(r.returncode == 2 and r.stdout == "", "bad option: exit 2", (r.returncode, r.stdout))
    return script


def main():
    cli = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        box = check_info(cli, work)
        check_slice(cli, work, box)
    print("PASS")


if __name__ == "__main__":
    main()
