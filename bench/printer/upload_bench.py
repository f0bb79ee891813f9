#!/usr/bin/env python3
"""Uploads a large package with orvell3d-cli to the printer simulator on 127.0.0.1 and prints
the transfer rate and the peak memory of the larger of the two processes.

usage: upload_bench.py BUILD_DIR OUT_DIR [SIZE_MB]
"""
import filecmp
import os
import re
import resource
import subprocess
import sys
import time


def main():
    build, out = sys.argv[1], sys.argv[2]
    size_mb = int(sys.argv[3]) if len(sys.argv) > 3 else 512
    cli = os.path.join(build, "src/cli/orvell3d-cli")
    sim_exe = os.path.join(build, "src/printer/sim/orvell3d-printer-sim")
    package = os.path.join(out, f"upload_{size_mb}mb.lpk")
    received = os.path.join(out, "received")
    os.makedirs(received, exist_ok=True)
    if not os.path.exists(package) or os.path.getsize(package) != size_mb << 20:
        with open(package, "wb") as f:
            for _ in range(size_mb):
                f.write(os.urandom(1 << 20))

    sim = subprocess.Popen([sim_exe, "--port", "0", "--no-print", "--dir", received],
                           stdout=subprocess.PIPE, text=True)
    try:
        m = re.search(r"listening on (127\.0\.0\.1:\d+)", sim.stdout.readline())
        if not m:
            sys.exit("upload bench: the simulator did not start")
        start = time.monotonic()
        run = subprocess.run([cli, "upload", package, "--printer", m.group(1)],
                             capture_output=True, text=True)
        seconds = time.monotonic() - start
        peak_mb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss / 1024.0
    finally:
        sim.kill()
        sim.wait()
    if run.returncode != 0:
        sys.exit("upload bench: " + run.stderr.strip())
    same = filecmp.cmp(package, os.path.join(received, os.path.basename(package)), shallow=False)
    print(f"  {size_mb} MB package to the simulator: {seconds:.2f} s, {size_mb / seconds:.0f} MB/s, "
          f"peak memory {peak_mb:.0f} MB (the larger of uploader and simulator), "
          f"copy {'identical' if same else 'DIFFERENT'}")
    os.remove(os.path.join(received, os.path.basename(package)))


if __name__ == "__main__":
    main()
