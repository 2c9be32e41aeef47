#!/usr/bin/env bash
# Reading and counting over the 200 MB corpus: FileRead + CountOccurrences
# against plain reading, with ripgrep's single-threaded case-insensitive
# count over the same files as a peer.
#
#   bench/codec.sh [CORPUS_DIR]   (default: /tmp/velmora-corpus-200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-/tmp/velmora-corpus-200}
build="$root/build"

if [ ! -d "$corpus" ]; then
  python3 "$root/bench/make_corpus.py" "$corpus" --mb 200
fi
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target codec_bench >/dev/null

globs=()
for e in txt htm html php css js ini csv log inc bat bas cls frm asc; do globs+=(-g "*.$e"); done
# Warm the page cache once, then measure.
cat $(find "$corpus" -type f) >/dev/null 2>&1 || true
"$build/bench/codec_bench" "$corpus" Suchwort --rounds 5
if command -v rg >/dev/null; then
  start=$(date +%s.%N)
  # --hidden: codec_bench reads hidden files too.
  rg_total=$(rg -F -i -j1 --hidden --no-messages --count-matches "${globs[@]}" Suchwort "$corpus" | awk -F: '{s+=$NF} END {print s}')
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v n="$rg_total" 'BEGIN { printf "ripgrep -F -i -j1:      %7.3f s  (%s finds)\n", e - s, n }'
fi
