#!/usr/bin/env bash
# velmora-cli against ripgrep on the 200 MB corpus: a search run with
# subfolders, ignoring case, over the filter of all fifteen file-type boxes;
# the totals must agree. Then a replace run over a copy of the corpus.
#
#   bench/cli_search.sh [CORPUS_DIR]   (default: /tmp/velmora-corpus-200)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-/tmp/velmora-corpus-200}
build="$root/build"
[ -d "$corpus" ] || python3 "$root/bench/make_corpus.py" "$corpus" --mb 200
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target velmora-cli >/dev/null
cli="$build/src/cli/velmora-cli"

exts="txt htm inc frm bat csv html css bas log asc php js cls ini"
filter=$(for e in $exts; do printf '*.%s;' "$e"; done); filter=${filter%;}
# Like the program's filter, the globs ignore case and take hidden files in.
globs=(); for e in $exts; do globs+=(--iglob "*.$e"); done
find "$corpus" -type f -exec cat {} + >/dev/null   # warm the page cache

now() { date +%s.%N; }
outfile=$(mktemp)
best_of() { # best of 3 wall-clock runs of "$@"; the output of the last run is in $outfile
  local best=999999 t0 t1 t
  for _ in 1 2 3; do
    t0=$(now); "$@" >"$outfile"; t1=$(now)
    t=$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }')
    best=$(awk -v a="$best" -v b="$t" 'BEGIN { print (b < a) ? b : a }')
  done
  echo "$best"
}

t_cli=$(best_of "$cli" --folder "$corpus" --filter "$filter" --subfolders --find Suchwort)
cli_out=$(cat "$outfile")
cli_total=$(printf '%s\n' "$cli_out" | awk -F'\t' 'NF == 3 { s += $1 } END { print s + 0 }')
t_rg=$(best_of rg -F -i -j1 --hidden --no-messages --count-matches "${globs[@]}" Suchwort "$corpus")
rg_total=$(awk -F: '{ s += $NF } END { print s + 0 }' "$outfile")
peak_kb=$( { /usr/bin/time -f '%M' "$cli" --folder "$corpus" --filter "$filter" --subfolders --find Suchwort >/dev/null; } 2>&1 | tail -1)
largest=$(find "$corpus" -type f -printf '%s\n' | sort -n | tail -1)

echo "summary: $(printf '%s\n' "$cli_out" | tail -1)"
echo "velmora-cli search:  ${t_cli} s, ${cli_total} finds"
echo "ripgrep -j1:         ${t_rg} s, ${rg_total} finds"
[ "$cli_total" = "$rg_total" ] && echo "totals agree" || echo "TOTALS DIFFER"
awk -v a="$t_cli" -v b="$t_rg" 'BEGIN { printf "time ratio velmora-cli / ripgrep: %.2f\n", a / b }'
awk -v p="$peak_kb" -v l="$largest" 'BEGIN { printf "peak memory: %.1f MiB (limit 2 x %.1f MiB + 64 MiB = %.1f MiB)\n", p / 1024, l / 1048576, 2 * l / 1048576 + 64 }'

copy=$(mktemp -d)/korpus
cp -a "$corpus" "$copy"
t0=$(now)
"$cli" --folder "$copy" --filter "$filter" --subfolders --find Suchwort --replace Fundstelle --yes | tail -1
t1=$(now)
awk -v a="$t0" -v b="$t1" 'BEGIN { printf "velmora-cli replace run over a copy: %.2f s\n", b - a }'
rm -rf "$(dirname "$copy")"
