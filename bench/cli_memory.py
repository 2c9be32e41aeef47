#!/usr/bin/env python3
"""Peak memory of velmora-cli on one large file, and the time of a long search text.

    cli_memory.py [CLI ...] [--mb N]

For each velmora-cli given (default: build-rel/src/cli/velmora-cli, built as
Release when missing), on one UTF-8 file of N MB (default 500) of German prose
with "Suchwort" in it:
  - the peak resident memory of a search, of a replace and of a replace with
    backup, each next to its bound (search 1.2 x the file + 64 MiB, replace
    3 x the file + 64 MiB);
  - the time of a 100,000-character search text that almost matches
    everywhere ("a" 99,999 times, then "b") in a 2 MB file of "a".
Give two binaries (an older build first) to see before and after side by side.
The peak is each child's own maximum resident set, from wait4().
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MIB = 1 << 20


def default_cli():
    build = os.path.join(ROOT, "build-rel")
    cli = os.path.join(build, "src", "cli", "velmora-cli")
    if not os.path.exists(cli):
        subprocess.run(["cmake", "-S", ROOT, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                        "-DVELMORA_CORE_ONLY=ON", "-DVELMORA_BENCH=OFF"], check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", build, "--target", "velmora-cli"], check=True, stdout=subprocess.DEVNULL)
    return cli


def write_prose(path, size):
    """German sentences with "Suchwort" about once in 60 bytes, one 1 MiB block repeated."""
    words = ["Datei", "wird", "ersetzt", "Größe", "über", "Suchwort", "Ordner", "nicht", "gefunden", "Text",
             "und", "der", "die", "das", "Zeile\n"]
    block = bytearray()
    i = 0
    while len(block) < MIB:
        block += (words[(i * 7 + i // 15) % len(words)] + " ").encode()
        i += 1
    block = bytes(block[:MIB - 64]) + b" Suchwort" + b" " * 55  # never cut inside a character
    with open(path, "wb") as f:
        for _ in range(size // MIB):
            f.write(block)


def run(cmd):
    """Runs cmd; returns (peak resident MiB, seconds, exit status, last output line)."""
    start = time.monotonic()
    child = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    out = child.stdout.read()
    _, status, usage = os.wait4(child.pid, 0)
    seconds = time.monotonic() - start
    lines = out.decode(errors="replace").strip().splitlines()
    return usage.ru_maxrss / 1024, seconds, os.waitstatus_to_exitcode(status), lines[-1] if lines else ""


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("clis", nargs="*")
    parser.add_argument("--mb", type=int, default=500)
    args = parser.parse_args()
    clis = args.clis or [default_cli()]
    work = tempfile.mkdtemp(prefix="velmora-memory-")
    try:
        big = os.path.join(work, "gross")
        os.makedirs(big)
        path = os.path.join(big, "gross.txt")
        write_prose(path, args.mb * MIB)
        size_mib = os.path.getsize(path) / MIB
        backup = os.path.join(work, "backup")
        os.makedirs(backup)
        longdir = os.path.join(work, "lang")
        os.makedirs(longdir)
        with open(os.path.join(longdir, "a.txt"), "wb") as f:
            f.write(b"a" * 2_000_000)
        find_file = os.path.join(work, "suchtext.txt")
        with open(find_file, "wb") as f:
            f.write(b"a" * 99_999 + b"b")

        bounds = {"search": 1.2 * size_mib + 64, "replace": 3 * size_mib + 64, "replace+backup": None}
        print(f"file: {size_mib:.0f} MiB UTF-8; bounds: search {bounds['search']:.0f} MiB, "
              f"replace {bounds['replace']:.0f} MiB")
        for cli in clis:
            print(f"\n{cli}")
            base = [cli, "--folder", big, "--filter", "*.txt"]
            # The replaces swap two words of one length back and forth, so
            # every run finds as much as the first.
            runs = [("search", base + ["--find", "Suchwort"]),
                    ("replace", base + ["--find", "Suchwort", "--replace", "Fundwort", "--yes"]),
                    ("replace+backup", base + ["--find", "Fundwort", "--replace", "Suchwort", "--yes",
                                               "--backup-folder", backup])]
            for name, cmd in runs:
                peak, seconds, status, last = run(cmd)
                bound = bounds[name]
                verdict = "" if bound is None else ("  within bound" if peak <= bound else "  OVER BOUND")
                print(f"  {name:15} peak {peak:7.0f} MiB = {peak / size_mib:4.2f} x file  {seconds:6.1f} s"
                      f"  exit {status}{verdict}")
                print(f"  {'':15} {last[last.find('Gesamtzahl'):]}")
            for f in os.listdir(backup):
                os.remove(os.path.join(backup, f))
            peak, seconds, status, last = run([cli, "--folder", longdir, "--filter", "*.txt",
                                               "--find-file", find_file])
            print(f"  {'long text':15} {seconds:6.2f} s for 100,000 characters in 2 MB  exit {status}  "
                  f"peak {peak:.0f} MiB")
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
