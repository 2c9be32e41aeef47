#!/usr/bin/env bash
# cZipArchive at level 7 on the text files of the 200 MB corpus, against zlib
# level 6 (default strategy and Z_FIXED) on the same bytes.
#
#   bench/zip.sh [CORPUS_DIR] [LEVEL]   (default: /tmp/velmora-corpus-200, 7)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-/tmp/velmora-corpus-200}
level=${2:-7}
build=${VELMORA_BUILD:-$root/build}
[ -d "$corpus" ] || python3 "$root/bench/make_corpus.py" "$corpus" --mb 200
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target zip_bench >/dev/null
list=$(mktemp)
(cd "$corpus" && find . -type f \( -name '*.txt' -o -name '*.htm' -o -name '*.html' -o -name '*.php' \
  -o -name '*.css' -o -name '*.js' -o -name '*.ini' -o -name '*.csv' -o -name '*.log' -o -name '*.inc' \
  -o -name '*.bat' -o -name '*.bas' -o -name '*.cls' -o -name '*.frm' -o -name '*.asc' \) | sed 's|^\./||' | sort) >"$list"
out=$(mktemp -d)
(cd "$corpus" && "$build/bench/zip_bench" --level "$level" --list "$list" "$out/bench.zip")
python3 -m zipfile -t "$out/bench.zip" >/dev/null && echo "python3 -m zipfile -t: archive OK"
rm -rf "$out" "$list"
