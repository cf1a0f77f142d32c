#!/usr/bin/env bash
# Times the whole ledgerlift process against the floor of reading the file
# (cat FILE > /dev/null), against reading it and writing the register's size
# and nothing else (bench/read_write_floor), against copying it (cp) and
# against libofx's ofx2qif, on the same generated statements in one run, and
# prints the ratios and peak memory.
#
# Usage: bench/compare.sh [--large] [--before OLD_BUILD_DIR] [BUILD_DIR]
#   BUILD_DIR  a build holding src/ledgerlift, bench/generate_statement and
#              bench/read_write_floor (default: build/default, as `cmake
#              --workflow --preset default` leaves it)
#   --large    also convert statements of about 500 MB (one transaction per
#              line, and one tag per line) and one whose body is a single
#              100 MB line, to show that peak memory does not grow with them
#   --before   also time the ledgerlift of an earlier build on every large
#              statement, in the same run, on a row of its own
#
# Every time is the best of several runs, and the ratio to the floor the
# median of paired runs, with the files in the page cache and the output of
# the run before removed and synced first (renaming over
# an existing output makes the file system write the new one out first,
# which would time the disk, not the program).
set -euo pipefail
cd "$(dirname "$0")/.."

large=0
build=build/default
before_program=
while [ $# -gt 0 ]; do
  case "$1" in
    --large) large=1 ;;
    --before) before_program=${2:?--before needs a build folder}/src/ledgerlift; shift ;;
    -h|--help) sed -n '2,22p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) build=$1 ;;
  esac
  shift
done
program=$build/src/ledgerlift
generator=$build/bench/generate_statement
floor_tool=$build/bench/read_write_floor
for tool in "$program" "$generator" "$floor_tool" ${before_program:+"$before_program"}; do
  [ -x "$tool" ] || { echo "compare.sh: $tool is missing; build first" >&2; exit 2; }
done
[ -x /usr/bin/time ] || { echo "compare.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/ledgerlift-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
runs=5
pairs=31

# The contenders; each takes the statement's path.
ledgerlift() { "$program" "$1" || [ $? -eq 1 ]; }  # 1: some lines failed
ledgerlift_before() { "$before_program" "$1" || [ $? -eq 1 ]; }
read_file() { cat "$1" > /dev/null; }
read_write() { "$floor_tool" "$1" "$work/floor.out" "$(cat "${1%.qfx}.size")"; }
copy_file() { cp "$1" "$work/copy"; }
ofx_to_qif() { ofx2qif "$1" > "$work/ofx2qif.qif"; }
many() {  # one start of a small file is too short to time: start 200
  for ((i = 0; i < 200; i++)); do "$@"; done
}
# 200 starts on 200 copies of the small statement: each writes a new
# register, which needs no flush to the disk; many() on one statement
# replaces its register 199 times, each flushed before it is replaced.
many_new() {
  for ((i = 0; i < 200; i++)); do "$1" "$work/small/$i.qfx"; done
}

# Removes what a run wrote and lets the system write back dirty pages.
settle() {
  rm -f "$work"/*.qif "$work"/small/*.qif "$work/copy" "$work/floor.out"
  sync -f "$work"
}

# The children's user + system time recorded by `times` in FILE, in seconds.
children_cpu() {
  awk 'NR == 2 {
    split($1, u, /[ms]/); split($2, s, /[ms]/)
    printf "%.4f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' "$1"
}

# Best wall time and best processor time (user + system) of $runs runs of a
# command, in seconds, as "WALL CPU". On a busy machine the processor time
# shows the work done; the wall time also holds the waits for a core.
best_time() {
  local best_wall="" best_cpu="" start end wall cpu
  for ((run = 0; run < runs; run++)); do
    settle
    times > "$work/times-before"  # nothing else may start a process in
    start=$EPOCHREALTIME          # between, or its time would count
    "$@" > /dev/null 2>&1
    end=$EPOCHREALTIME
    times > "$work/times-after"
    wall=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }')
    cpu=$(awk -v a="$(children_cpu "$work/times-before")" \
              -v b="$(children_cpu "$work/times-after")" 'BEGIN { printf "%.4f", b - a }')
    best_wall=$(awk -v a="$wall" -v b="${best_wall:-$wall}" 'BEGIN { print (a < b ? a : b) }')
    best_cpu=$(awk -v a="$cpu" -v b="${best_cpu:-$cpu}" 'BEGIN { print (a < b ? a : b) }')
  done
  echo "$best_wall $best_cpu"
}

# The wall time of one run of a command, in seconds.
wall_of() {
  local start end
  settle
  start=$EPOCHREALTIME
  "$@" > /dev/null 2>&1
  end=$EPOCHREALTIME
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

# The median of $pairs ratios of the wall times of two commands on one
# file, run in turn (A B A B ...): a pair shares the machine's state of the
# moment, so the ratio holds when the machine's speed drifts between runs,
# which a ratio of two best times does not.
paired_ratio() {  # A B FILE
  local ratios=() a b
  for ((pair = 0; pair < pairs; pair++)); do
    a=$(wall_of "$1" "$3")
    b=$(wall_of "$2" "$3")
    ratios+=("$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.4f", a / b }')")
  done
  printf '%s\n' "${ratios[@]}" | sort -g |
    awk '{ v[NR] = $1 } END { printf "%.2f", NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# Peak resident memory of one run in MiB, as /usr/bin/time -v reports it.
peak_mib() {
  settle
  { /usr/bin/time -v "$@" 2>&1 > /dev/null || true; } |
    awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }'
}

size_mib() { awk -v b="$(stat -c %s "$1")" 'BEGIN { printf "%.1f", b / 1048576 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'; }
mb_per_s() { awk -v b="$(stat -c %s "$1")" -v s="$2" 'BEGIN { printf "%.0f", b / 1e6 / s }'; }
row() { printf '| %-34s | %9s | %9s | %9s | %7s | %9s | %8s | %8s | %6s | %11s |\n' "$@"; }

generate() {  # NAME COUNT LAYOUT
  "$generator" "$2" "$3" 42 > "$work/$1.qfx"
}

wall() { echo "${1% *}"; }
cpu() { echo "${1#* }"; }

# A row of the throughput table: ledgerlift (and the earlier build's, on a
# row of its own) against cat and the floor on one file; sets ours_wall for
# the layout comparison.
throughput_row() {  # LABEL FILE
  local ours floor copy before
  ours=$(best_time ledgerlift "$2")
  floor=$(best_time read_file "$2")
  copy=$(best_time read_write "$2")
  ours_wall=$(wall "$ours")
  one_row "$1" "$2" "$ours" "$floor" "$copy" "$program" ledgerlift
  if [ -n "$before_program" ]; then
    before=$(best_time ledgerlift_before "$2")
    one_row "$1, before" "$2" "$before" "$floor" "$copy" "$before_program" ledgerlift_before
  fi
}
# "vs floor" is the median ratio of paired runs (paired_ratio), the other
# ratios those of the best times.
one_row() {  # LABEL FILE TIMES CAT_TIMES FLOOR_TIMES PROGRAM CONTENDER
  row "$1" "$(size_mib "$2") MiB" "$(wall "$3") s" "$(wall "$4") s" \
    "$(ratio "$(wall "$3")" "$(wall "$4")")x" "$(wall "$5") s" \
    "$(paired_ratio "$7" read_write "$2")x" \
    "$(ratio "$(cpu "$3")" "$(cpu "$4")")x" \
    "$(mb_per_s "$2" "$(wall "$3")")" "$(peak_mib "$6" "$2") MiB"
}

# Converts each statement once: a run that fails would be timed as if it
# converted; the register's size is what the floor writes.
check_converts() {
  for file in "$@"; do
    ledgerlift "$file" 2> /dev/null && [ -s "${file%.qfx}.qif" ] ||
      { echo "compare.sh: $program cannot convert $file" >&2; exit 1; }
    stat -c %s "${file%.qfx}.qif" > "${file%.qfx}.size"
  done
}

echo "Machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "Generating statements in $work ..."
layouts=(lines one-line multi-line indented xml)
for layout in "${layouts[@]}"; do generate "$layout" 400000 "$layout"; done
generate small 80 lines
generate ofx 20000 lines
cat "$work"/*.qfx > /dev/null  # into the page cache for every contender
check_converts "$work"/*.qfx

echo
row "400,000 transactions" "size" "ledgerlift" "cat" "vs cat" "floor" "vs floor" "cpu/cat" "MB/s" "peak memory"
row "---" "---:" "---:" "---:" "---:" "---:" "---:" "---:" "---:" "---:"
declare -A layout_wall
for layout in "${layouts[@]}"; do
  throughput_row "$layout" "$work/$layout.qfx"
  layout_wall[$layout]=$ours_wall
done
echo
echo "Against one transaction per line, the same transactions take:"
for layout in one-line multi-line indented xml; do
  echo "  $layout: $(ratio "${layout_wall[$layout]}" "${layout_wall[lines]}")x the time"
done
if [ "$large" -eq 1 ]; then
  rm -f "$work"/{lines,one-line,multi-line,indented,xml}.*
  runs=2
  pairs=9
  echo
  for large_case in "lines 3900000 lines" "multi-line 3600000 multi-line" \
                    "one-line 800000 one-line"; do
    read -r name count layout <<<"$large_case"
    generate "large-$name" "$count" "$layout"
    check_converts "$work/large-$name.qfx"
    throughput_row "$layout, $count transactions" "$work/large-$name.qfx"
    rm -f "$work/large-$name".*
  done
  runs=5
  pairs=31
fi

echo
file=$work/small.qfx
mkdir -p "$work/small"
for ((i = 0; i < 200; i++)); do cp "$file" "$work/small/$i.qfx"; done
copy=$(best_time many copy_file "$file")
row "200 starts, start to exit" "size" "ledgerlift" "cp" "vs cp" "" "" "cpu/cp" "" "peak memory"
row "---" "---:" "---:" "---:" "---:" "" "" "---:" "" "---:"
for kind in new replaced; do
  if [ "$kind" = new ]; then ours=$(best_time many_new ledgerlift); else
    ours=$(best_time many ledgerlift "$file"); fi
  row "80 transactions, $kind register" "$(($(stat -c %s "$file") / 1024)) KiB" \
    "$(wall "$ours") s" "$(wall "$copy") s" "$(ratio "$(wall "$ours")" "$(wall "$copy")")x" "" "" \
    "$(ratio "$(cpu "$ours")" "$(cpu "$copy")")x" "" "$(peak_mib "$program" "$file") MiB"
done

echo
file=$work/ofx.qfx
if command -v ofx2qif > /dev/null; then
  runs=1
  ours=$(best_time ledgerlift "$file")
  theirs=$(best_time ofx_to_qif "$file")
  row "20,000 transactions" "size" "ledgerlift" "ofx2qif" "speed-up" "" "" "cpu" "" "peak memory"
  row "---" "---:" "---:" "---:" "---:" "" "" "---:" "" "---:"
  row "lines, ledgerlift" "$(size_mib "$file") MiB" "$(wall "$ours") s" "" "" "" "" "" "" \
    "$(peak_mib "$program" "$file") MiB"
  row "lines, ofx2qif" "$(size_mib "$file") MiB" "" "$(wall "$theirs") s" \
    "$(ratio "$(wall "$theirs")" "$(wall "$ours")")x" "" "" \
    "$(ratio "$(cpu "$theirs")" "$(cpu "$ours")")x" "" "$(peak_mib ofx2qif "$file") MiB"
else
  echo "ofx2qif is not installed (Debian package ofx): the comparison with libofx is skipped."
fi
