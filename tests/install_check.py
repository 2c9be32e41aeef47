#!/usr/bin/env python3
# What an installation holds: `cmake --install` into a temporary prefix, or the
# Debian package cpack builds, checked file by file.
import os
import subprocess
import sys
import tempfile

APP_ID = "org.velmora.Velmora"
FILES = [
    "bin/velmora",
    "bin/velmora-cli",
    "share/applications/velmora.desktop",
    "share/icons/hicolor/scalable/apps/velmora.svg",
    f"share/metainfo/{APP_ID}.metainfo.xml",
]
QT_LIBRARIES = ["libqt6core6", "libqt6gui6", "libqt6widgets6"]

failures = []


def check(ok, what):
    if not ok:
        failures.append(what)


def run(*args, **kw):
    return subprocess.run(args, check=True, capture_output=True, text=True, **kw).stdout


def installed(build, version):
    with tempfile.TemporaryDirectory() as prefix:
        run("cmake", "--install", build, "--prefix", prefix)
        for f in FILES:
            check(os.path.isfile(os.path.join(prefix, f)), f"missing: {f}")
        for program in ("velmora", "velmora-cli"):
            path = os.path.join(prefix, "bin", program)
            check(os.access(path, os.X_OK), f"not executable: {program}")
            # Without any display: the window program must answer before it needs one.
            env = {k: v for k, v in os.environ.items()
                   if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
            out = run(path, "--version", env=env)
            check(out == f"{program} {version}\n", f"{program} --version printed {out!r}")
        run("appstreamcli", "validate", "--no-net", os.path.join(prefix, FILES[4]))


def debian(build, version):
    with tempfile.TemporaryDirectory() as out:
        run("cpack", "-G", "DEB", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out)
        debs = [f for f in os.listdir(out) if f.endswith(".deb")]
        check(len(debs) == 1 and debs[0].startswith(f"velmora_{version}_"), f"packages: {debs}")
        if not debs:
            return
        deb = os.path.join(out, debs[0])
        fields = run("dpkg-deb", "-I", deb)
        depends = run("dpkg-deb", "-f", deb, "Depends")
        for library in QT_LIBRARIES + ["qt6-qpa-plugins", "libc6"]:
            check(library in depends, f"Depends lacks {library}: {depends.strip()}")
        check(run("dpkg-deb", "-f", deb, "Package").strip() == "velmora", fields)
        check(run("dpkg-deb", "-f", deb, "Version").strip() == version, fields)
        # "-rwxr-xr-x root/root 1234 2026-01-01 00:00 ./usr/bin/velmora" -> mode by path
        modes = {line.split()[-1][1:]: line.split()[0] for line in run("dpkg-deb", "-c", deb).splitlines()}
        for f in FILES:
            check(f"/usr/{f}" in modes, f"package lacks /usr/{f}")
        for program in ("velmora", "velmora-cli"):
            check(modes.get(f"/usr/bin/{program}") == "-rwxr-xr-x", f"/usr/bin/{program}: {modes.get(f'/usr/bin/{program}')}")


def main():
    mode, build, version = sys.argv[1:4]
    {"install": installed, "deb": debian}[mode](build, version)
    for f in failures:
        print("FEHLER:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
