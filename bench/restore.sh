#!/usr/bin/env bash
# Undo against the run it undoes: a replace run with backup over a fresh copy
# of the 200 MB corpus, then velmora-cli --restore of its archive; the tree
# must come back byte for byte. Rounds alternate the two, so both see the
# same disk and page cache; medians and the ratio restore / replace.
#
#   bench/restore.sh [CORPUS_DIR] [ROUNDS]   (default: /tmp/velmora-corpus-200, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-/tmp/velmora-corpus-200}
rounds=${2:-3}
build=${VELMORA_BUILD:-$root/build}
[ -d "$corpus" ] || python3 "$root/bench/make_corpus.py" "$corpus" --mb 200
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target velmora-cli >/dev/null
cli="$build/src/cli/velmora-cli"

exts="txt htm inc frm bat csv html css bas log asc php js cls ini"
filter=$(for e in $exts; do printf '*.%s;' "$e"; done); filter=${filter%;}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

replace_times=() restore_times=()
for round in $(seq "$rounds"); do
  rm -rf "$work/korpus" "$work/sicherung"
  cp -a "$corpus" "$work/korpus"
  mkdir "$work/sicherung"
  sync
  t0=$(now)
  "$cli" --folder "$work/korpus" --filter "$filter" --subfolders --find Suchwort --replace Fundstelle --yes \
    --backup-folder "$work/sicherung" >/dev/null
  t1=$(now)
  archive=$(ls "$work"/sicherung/backup-*.zip)
  sync
  t2=$(now)
  "$cli" --restore "$archive" --yes >"$work/restore.out"
  t3=$(now)
  tail -2 "$work/restore.out" | head -1
  diff -r -q "$corpus" "$work/korpus" >/dev/null || { echo "round $round: THE TREE DIFFERS AFTER THE RESTORE"; exit 1; }
  replace_times+=("$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')")
  restore_times+=("$(awk -v a="$t2" -v b="$t3" 'BEGIN { print b - a }')")
  echo "round $round: replace with backup ${replace_times[-1]} s, restore ${restore_times[-1]} s"
done
rep=$(printf '%s\n' "${replace_times[@]}" | median)
res=$(printf '%s\n' "${restore_times[@]}" | median)
echo "files in the archive: $(python3 -c 'import sys, zipfile; print(len(zipfile.ZipFile(sys.argv[1]).namelist()))' "$archive")"
echo "median replace with backup: $rep s, median restore: $res s"
awk -v a="$res" -v b="$rep" 'BEGIN { printf "time ratio restore / replace: %.2f (tree identical after every restore)\n", a / b }'
