#!/usr/bin/env python3
"""The Debian package as a user gets it: made from the existing build with CPack, unpacked into
a scratch root with dpkg -x, and the installed programs run from there.

Usage: check_package.py BUILD_FOLDER SOURCE_FOLDER
"""
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "cli"))
from json_report import expect, run, write_box_stl  # noqa: E402


def sh(*args, **kw):
    done = subprocess.run(args, capture_output=True, text=True, **kw)
    expect(done.returncode == 0, " ".join(args), done.stderr[-2000:])
    return done.stdout


def make_package(build, out):
    # The install step of the existing build; nothing is compiled again.
    sh("cpack", "-G", "DEB", "-B", out, "--config", os.path.join(build, "CPackConfig.cmake"), cwd=build)
    debs = [n for n in os.listdir(out) if n.endswith("_amd64.deb")]
    expect(len(debs) == 1, "one package", debs)
    return os.path.join(out, debs[0])


def check_control(deb):
    fields = sh("dpkg-deb", "-f", deb, "Package", "Version", "Architecture", "Depends")
    control = dict(line.split(": ", 1) for line in fields.strip().splitlines())
    expect(os.path.basename(deb) == "orvell3d_%s_amd64.deb" % control["Version"], "file name", deb)
    depends = [d.strip().split(" ")[0] for d in control["Depends"].split(",")]
    # The archive tool is started by name; the libraries come from dpkg-shlibdeps.
    for needed in ("p7zip-full", "libc6", "libqt5core5a", "libqt5widgets5", "libepoxy0"):
        expect(needed in depends, "depends on " + needed, control["Depends"])
    expect(any(d.startswith("libopencv-imgproc") for d in depends), "depends on OpenCV", control["Depends"])

    listing = sh("dpkg-deb", "-c", deb)
    for line in listing.splitlines():
        expect(line.split()[1] == "root/root", "files owned by root", line)


def check_files(root):
    usr = os.path.join(root, "usr")
    for path in ("bin/orvell3d", "bin/orvell3d-cli", "share/orvell3d/languages/orvell3d_de.qm",
                 "share/orvell3d/languages/de.png", "share/applications/orvell3d.desktop",
                 "share/icons/hicolor/48x48/apps/orvell3d.png", "share/icons/hicolor/scalable/apps/orvell3d.svg",
                 "share/icons/hicolor/48x48/mimetypes/application-x-orvell3d-package.png",
                 "share/mime/packages/orvell3d.xml", "share/man/man1/orvell3d.1.gz",
                 "share/man/man1/orvell3d-cli.1.gz", "share/bash-completion/completions/orvell3d-cli",
                 "share/doc/orvell3d/copyright", "share/doc/orvell3d/changelog.gz"):
        expect(os.path.isfile(os.path.join(usr, path)), "installed " + path)
    desktop = os.path.join(usr, "share/applications/orvell3d.desktop")
    if shutil.which("desktop-file-validate"):
        sh("desktop-file-validate", desktop)


def check_programs(deb, root, work):
    cli = os.path.join(root, "usr/bin/orvell3d-cli")
    gui = os.path.join(root, "usr/bin/orvell3d")
    data = os.path.join(work, "data")
    version = sh("dpkg-deb", "-f", deb, "Version").strip()
    for program in (cli, gui):
        r = run(program, ["--version"], data)
        # The package and its manual pages carry the version the programs report.
        expect(r.returncode == 0 and r.stdout == "Orvell3D %s\n" % version, program + " --version",
               r.stdout + r.stderr)
    box = os.path.join(work, "box.stl")
    write_box_stl(box, 10, 20, 5)
    r = run(cli, ["info", "--json", box], data)
    expect(r.returncode == 0, "installed info", r.stderr)
    (model,) = json.loads(r.stdout)["models"]
    expect(model["triangles"] == 12, "installed info counts", model)
    r = run(cli, ["slice", "--json", "-o", os.path.join(work, "job.lpk"), "--renderer", "cpu",
                  "--projector", "400x300", "--pixel-size", "50", "--thickness", "50", "--allow-clipping", box], data)
    expect(r.returncode == 0, "installed slice", r.stderr)
    report = json.loads(r.stdout)
    expect(report["layers"] == 100 and os.path.getsize(report["path"]) == report["packageBytes"], "package", report)
    return report["path"]


def check_mime(root, work, package):
    """The file types compile into a MIME database next to the system's definitions, and a
    desktop's file-type lookup (GLib's, where installed) names our files with them."""
    mime = os.path.join(work, "share", "mime")
    os.makedirs(os.path.join(mime, "packages"))
    shutil.copy(os.path.join(root, "usr/share/mime/packages/orvell3d.xml"), os.path.join(mime, "packages"))
    system = "/usr/share/mime/packages/freedesktop.org.xml"
    if os.path.isfile(system):
        shutil.copy(system, os.path.join(mime, "packages"))
    sh("update-mime-database", "-V", mime)
    with open(os.path.join(mime, "globs2")) as f:
        globs = f.read()
    expect(":application/x-orvell3d-package:*.lpk" in globs, "lpk glob", "")
    expect(":application/x-orvell3d-scene:*.o3d" in globs, "o3d glob", "")
    with open(os.path.join(mime, "subclasses")) as f:
        expect("application/x-orvell3d-package application/zip" in f.read(), "lpk is a ZIP", "")
    with open(os.path.join(mime, "magic"), "rb") as f:
        magic = f.read()
    expect(b"[50:application/x-orvell3d-scene]" in magic, "o3d magic", "")
    expect(b"[60:application/x-orvell3d-package]" in magic, "lpk magic", "")

    if not shutil.which("gio"):
        print("gio is not installed; the file types are not looked up")
        return
    renamed = os.path.join(work, "package.bin")
    shutil.copy(package, renamed)
    scene = os.path.join(work, "plate.o3d")
    with open(scene, "w") as f:
        f.write("#object\nfilename /models/part.stl\nscale 1.000000 1.000000 1.000000\n")
    env = dict(os.environ, XDG_DATA_DIRS=os.path.join(work, "share"), XDG_DATA_HOME=os.path.join(work, "none"))
    for path, wanted in ((package, "application/x-orvell3d-package"), (renamed, "application/x-orvell3d-package"),
                         (scene, "application/x-orvell3d-scene")):
        info = sh("gio", "info", "-a", "standard::content-type", path, env=env)
        expect("content-type: " + wanted in info, "type of " + os.path.basename(path), info)


def check_manuals(root):
    if not shutil.which("man"):
        print("man is not installed; the manual pages are not rendered")
        return
    env = dict(os.environ, MANWIDTH="100")

    def page(name):
        text = sh("man", "-l", os.path.join(root, "usr/share/man/man1", name), env=env)
        # Plain text: no overstruck bold, and ASCII hyphens for the typographic ones.
        text = re.sub(".\b", "", text)
        return text.replace("\u2010", "-").replace("\u2212", "-")

    cli_page = page("orvell3d-cli.1.gz")
    for words in ("orvell3d-cli info", "orvell3d-cli slice", "--thickness", "--json", "EXIT STATUS", "EXAMPLES"):
        expect(words in cli_page, "the CLI manual has " + words, "")
    gui_page = page("orvell3d.1.gz")
    expect("ORVELL3D_DATA_DIR" in gui_page and "--version" in gui_page, "the program's manual", gui_page[:400])


def check_completion(root):
    script = os.path.join(root, "usr/share/bash-completion/completions/orvell3d-cli")

    def complete(*words):
        line = ('source "%s"; COMP_WORDS=(%s); COMP_CWORD=%d; _orvell3d_cli; printf "%%s\\n" "${COMPREPLY[@]}"'
                % (script, " ".join("'%s'" % w for w in words), len(words) - 1))
        return sh("bash", "-c", line).split()

    expect(complete("orvell3d-cli", "sl") == ["slice"], "command completed", complete("orvell3d-cli", "sl"))
    expect("--thickness" in complete("orvell3d-cli", "slice", "--th"), "option completed", "")
    expect(complete("orvell3d-cli", "slice", "--renderer", "") == ["cpu", "gpu", "reference"], "renderer names", "")
    expect(complete("orvell3d-cli", "slice", "--machine", "") == ["0", "1", "2"], "machine ids", "")


def main():
    build = sys.argv[1]
    work = tempfile.mkdtemp(prefix="orvell3d-package-")
    try:
        deb = make_package(build, os.path.join(work, "out"))
        check_control(deb)
        root = os.path.join(work, "root")
        sh("dpkg", "-x", deb, root)
        check_files(root)
        package = check_programs(deb, root, work)
        check_mime(root, work, package)
        check_manuals(root)
        check_completion(root)
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print("PASS")


if __name__ == "__main__":
    main()
