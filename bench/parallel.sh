#!/usr/bin/env bash
# The parallel file pass against its peers and floors, each figure the median
# of ROUNDS with ours and the peers run in turn within every round:
#   warm    search of the 200 MB corpus (all fifteen types, subfolders,
#           "Suchwort" ignoring case): velmora-cli against ripgrep -j1, -j2
#           and read_floor (one thread merely reading); the totals must agree
#   cold    the same with the page cache dropped before each run (root only):
#           velmora-cli against ripgrep -j1, -j2, -j8, ratio to the best
#   small   200,000 files of 12-20 bytes: velmora-cli against ripgrep -j1, -j2
#   real    /usr/share and /usr/include: velmora-cli against ripgrep -j1
#   replace a replace run over a fresh copy against write_floor (read, write a
#           synced temporary file, rename) over another
#   backup  a replace run with backup against one without, and the backup
#           run's peak memory against 64 MiB + 3 x the largest file
#   window  window_bench (the window against velmora-cli), if it was built
#
#   bench/parallel.sh [CORPUS_DIR] [ROUNDS] [CASE...]
#   (default: /tmp/velmora-corpus-200, 3, all cases; VELMORA_BUILD=DIR picks the build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
corpus=${1:-/tmp/velmora-corpus-200}
rounds=${2:-3}
shift $(($# < 2 ? $# : 2))
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(warm cold small real replace backup window)
for c in "${cases[@]}"; do
  case $c in warm | cold | small | real | replace | backup | window) ;;
  *) echo "unknown case \"$c\" (warm cold small real replace backup window)" >&2; exit 2 ;;
  esac
done
build=${VELMORA_BUILD:-$root/build}
small=/tmp/velmora-small-200k
[ -d "$corpus" ] || python3 "$root/bench/make_corpus.py" "$corpus" --mb 200
if [ -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DVELMORA_BENCH=ON >/dev/null
else
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BENCH=ON >/dev/null
fi
cmake --build "$build" -j "${VELMORA_JOBS:-2}" --target velmora-cli read_floor write_floor >/dev/null
# The window's benchmark exists only in a build with the window; an old one
# would be measured against the new velmora-cli.
case " ${cases[*]} " in
*" window "*) cmake --build "$build" -j "${VELMORA_JOBS:-2}" --target window_bench >/dev/null 2>&1 || true ;;
esac
cli="$build/src/cli/velmora-cli"
read_floor="$build/bench/read_floor"
write_floor="$build/bench/write_floor"

exts="txt htm inc frm bat csv html css bas log asc php js cls ini"
filter=$(for e in $exts; do printf '*.%s;' "$e"; done); filter=${filter%;}
# Like the program's filter, the globs ignore case and take hidden files in.
globs=(); for e in $exts; do globs+=(--iglob "*.$e"); done
rg_flags=(-F -i --hidden --no-ignore --no-messages --count-matches)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
warm() { find "$@" -type f -exec cat {} + >/dev/null 2>&1 || true; }
cli_total() { awk -F'\t' 'NF == 3 { s += $1 } END { print s + 0 }' "$1"; }
rg_total() { awk -F: '{ s += $NF } END { print s + 0 }' "$1"; }

# clock KEY CMD...: runs CMD with its output in $work/KEY.out and adds its
# wall-clock seconds to times[KEY]; a failing CMD is reported, not fatal.
declare -A times=()
clock() {
  local key=$1 t0 t1 rc=0
  shift
  t0=$(now)
  "$@" >"$work/$key.out" 2>"$work/$key.err" || rc=$?
  t1=$(now)
  [ "$rc" = 0 ] || echo "  ($key: exit status $rc: $(tail -1 "$work/$key.err"))"
  times[$key]+="$(awk -v a="$t0" -v b="$t1" 'BEGIN { print b - a }') "
}
med() { printf '%s\n' ${times[$1]} | median; }

# The table at the end: case, ours, its median, the peer, its median, ours / peer.
table=()
row() { table+=("$1|$2|$(med "$3")|$4|$(med "$5")"); }
status=0

echo "nproc: $(nproc), rounds: $rounds, build: $build"

for c in "${cases[@]}"; do
  case $c in
  warm)
    echo "== warm search of $corpus"
    warm "$corpus"
    for _ in $(seq "$rounds"); do
      clock w_cli "$cli" --folder "$corpus" --filter "$filter" --subfolders --find Suchwort
      clock w_rg1 rg "${rg_flags[@]}" -j1 "${globs[@]}" Suchwort "$corpus"
      clock w_rg2 rg "${rg_flags[@]}" -j2 "${globs[@]}" Suchwort "$corpus"
      clock w_floor "$read_floor" "$corpus" $exts
    done
    a=$(cli_total "$work/w_cli.out") b=$(rg_total "$work/w_rg1.out") b2=$(rg_total "$work/w_rg2.out")
    echo "  finds: velmora-cli $a, rg -j1 $b, rg -j2 $b2; read_floor: $(cat "$work/w_floor.out")"
    if [ "$a" = "$b" ] && [ "$a" = "$b2" ]; then echo "  totals agree"; else echo "  TOTALS DIFFER"; status=1; fi
    row warm velmora-cli w_cli "rg -j1" w_rg1
    row warm velmora-cli w_cli "rg -j2" w_rg2
    row warm velmora-cli w_cli read_floor w_floor
    ;;
  cold)
    echo "== cold search of $corpus"
    if [ "$(id -u)" != 0 ] || [ ! -w /proc/sys/vm/drop_caches ] ||
      ! { sync && echo 3 >/proc/sys/vm/drop_caches; } 2>/dev/null; then
      echo "  skipped: dropping the page cache needs root and a writable /proc/sys/vm/drop_caches"
      continue
    fi
    cold() { sync; echo 3 >/proc/sys/vm/drop_caches; clock "$@"; }
    for _ in $(seq "$rounds"); do
      cold c_cli "$cli" --folder "$corpus" --filter "$filter" --subfolders --find Suchwort
      cold c_rg1 rg "${rg_flags[@]}" -j1 "${globs[@]}" Suchwort "$corpus"
      cold c_rg2 rg "${rg_flags[@]}" -j2 "${globs[@]}" Suchwort "$corpus"
      cold c_rg8 rg "${rg_flags[@]}" -j8 "${globs[@]}" Suchwort "$corpus"
    done
    best=c_rg1
    for k in c_rg2 c_rg8; do
      awk -v a="$(med $k)" -v b="$(med $best)" 'BEGIN { exit !(a < b) }' && best=$k
    done
    echo "  finds: velmora-cli $(cli_total "$work/c_cli.out"), rg $(rg_total "$work/c_rg1.out"); best rg: -j${best#c_rg}"
    row cold velmora-cli c_cli "rg -j1" c_rg1
    row cold velmora-cli c_cli "rg -j2" c_rg2
    row cold velmora-cli c_cli "rg -j8" c_rg8
    row cold velmora-cli c_cli "best rg" $best
    ;;
  small)
    echo "== warm search of 200,000 small files in $small"
    if [ ! -d "$small" ]; then
      # Written aside and moved in, so an interrupted run leaves no half tree behind.
      python3 "$root/bench/make_corpus.py" "$small.part-$$" --small 200000
      mv "$small.part-$$" "$small"
    fi
    warm "$small"
    # The generator writes all fifteen types, so the same filter and globs.
    for _ in $(seq "$rounds"); do
      clock s_cli "$cli" --folder "$small" --filter "$filter" --subfolders --find Suchwort
      clock s_rg1 rg "${rg_flags[@]}" -j1 "${globs[@]}" Suchwort "$small"
      clock s_rg2 rg "${rg_flags[@]}" -j2 "${globs[@]}" Suchwort "$small"
    done
    a=$(cli_total "$work/s_cli.out") b=$(rg_total "$work/s_rg1.out")
    echo "  finds: velmora-cli $a, rg $b"
    if [ "$a" = "$b" ]; then echo "  totals agree"; else echo "  TOTALS DIFFER"; status=1; fi
    row small velmora-cli s_cli "rg -j1" s_rg1
    row small velmora-cli s_cli "rg -j2" s_rg2
    ;;
  real)
    # Velmora follows links to files, ripgrep does not: the totals may differ.
    for tree in "/usr/share|*.txt;*.html;*.css;*.js;*.ini;*.log|license" "/usr/include|*.h|define"; do
      IFS='|' read -r dir pats word <<<"$tree"
      echo "== warm search of $dir ($pats, \"$word\")"
      [ -d "$dir" ] || { echo "  skipped: $dir is missing"; continue; }
      iglobs=(); IFS=';' read -ra parts <<<"$pats"
      for p in "${parts[@]}"; do iglobs+=(--iglob "$p"); done
      key=r_$(basename "$dir")
      rg "${rg_flags[@]}" -j1 "${iglobs[@]}" "$word" "$dir" >/dev/null || true # warms the tree
      for _ in $(seq "$rounds"); do
        clock "${key}_cli" "$cli" --folder "$dir" --filter "$pats" --subfolders --find "$word"
        clock "${key}_rg1" rg "${rg_flags[@]}" -j1 "${iglobs[@]}" "$word" "$dir"
      done
      echo "  finds: velmora-cli $(cli_total "$work/${key}_cli.out"), rg $(rg_total "$work/${key}_rg1.out")"
      row "$dir" velmora-cli "${key}_cli" "rg -j1" "${key}_rg1"
    done
    ;;
  replace)
    echo "== replace over a fresh copy of $corpus"
    # The order alternates: a run right after another's deletes and copies
    # meets another state of the disk.
    ours() {
      rm -rf "$work/ours" && cp -a "$corpus" "$work/ours" && sync
      clock e_cli "$cli" --folder "$work/ours" --filter "$filter" --subfolders --find Suchwort \
        --replace Fundstelle --yes
    }
    floor() {
      rm -rf "$work/floor" && cp -a "$corpus" "$work/floor" && sync
      clock e_floor "$write_floor" "$work/floor" $exts
    }
    for r in $(seq "$rounds"); do
      if [ $((r % 2)) = 1 ]; then ours; floor; else floor; ours; fi
    done
    echo "  velmora-cli: $(tail -1 "$work/e_cli.out")"
    echo "  write_floor: $(cat "$work/e_floor.out")"
    echo "  rounds: velmora-cli ${times[e_cli]}/ write_floor ${times[e_floor]}"
    rm -rf "$work/ours" "$work/floor"
    row replace velmora-cli e_cli write_floor e_floor
    ;;
  backup)
    echo "== replace with backup against without, fresh copies of $corpus"
    peak=0
    with() {
      rm -rf "$work/ours" "$work/sicherung" && cp -a "$corpus" "$work/ours" && mkdir "$work/sicherung" && sync
      clock f_backup /usr/bin/time -f %M -o "$work/peak" "$cli" --folder "$work/ours" --filter "$filter" \
        --subfolders --find Suchwort --replace Fundstelle --yes --backup-folder "$work/sicherung"
      peak=$(awk -v a="$peak" -v b="$(tail -1 "$work/peak")" 'BEGIN { print (b > a) ? b : a }')
    }
    without() {
      rm -rf "$work/ours" && cp -a "$corpus" "$work/ours" && sync
      clock f_plain "$cli" --folder "$work/ours" --filter "$filter" --subfolders --find Suchwort \
        --replace Fundstelle --yes
    }
    for r in $(seq "$rounds"); do
      if [ $((r % 2)) = 1 ]; then with; without; else without; with; fi
    done
    echo "  archive: $(du -h "$work"/sicherung/backup-*.zip 2>/dev/null | cut -f1 || true)"
    echo "  rounds: with ${times[f_backup]}/ without ${times[f_plain]}"
    rm -rf "$work/ours" "$work/sicherung"
    largest=$(find "$corpus" -type f -printf '%s\n' | sort -n | tail -1)
    awk -v p="$peak" -v l="$largest" 'BEGIN { b = 64 + 3 * l / 1048576
      printf "  peak memory with backup: %.1f MiB, bound 64 MiB + 3 x %.1f MiB = %.1f MiB: %s\n",
             p / 1024, l / 1048576, b, (p / 1024 <= b) ? "within" : "ABOVE" }'
    awk -v p="$peak" -v l="$largest" 'BEGIN { exit !(p / 1024 > 64 + 3 * l / 1048576) }' && status=1
    row backup "with backup" f_backup "without" f_plain
    ;;
  window)
    echo "== the window against velmora-cli"
    if [ -x "$build/bench/window_bench" ]; then
      "$build/bench/window_bench" "$corpus" "$cli" || status=1
    else
      echo "  skipped: $build/bench/window_bench is not built (it needs a build without VELMORA_CORE_ONLY)"
    fi
    ;;
  esac
done

if [ ${#table[@]} -gt 0 ]; then
  echo
  printf '%-14s %-12s %9s   %-12s %9s   %s\n' case ours seconds peer seconds "ours / peer"
  for r in "${table[@]}"; do
    IFS='|' read -r name ours a peer b <<<"$r"
    awk -v n="$name" -v o="$ours" -v a="$a" -v p="$peer" -v b="$b" \
      'BEGIN { printf "%-14s %-12s %9.3f   %-12s %9.3f   %.2f\n", n, o, a, p, b, (b > 0) ? a / b : 0 }'
  done
fi
exit $status
