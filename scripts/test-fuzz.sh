#!/usr/bin/env bash
# Builds the libFuzzer harnesses (clang, ASan + UBSan; preset "fuzz", folder
# build/fuzz), replays every kept crash input in fuzz/regressions/, then fuzzes
# each harness from its seed corpus in fuzz/corpus/.
#
#   scripts/test-fuzz.sh                 smoke run: 20000 inputs per harness
#   scripts/test-fuzz.sh long [SECONDS [NAME...]]
#                                        600 seconds (or SECONDS) per harness,
#                                        one after another; NAME picks harnesses
#
# New inputs that widen coverage go to build/fuzz/corpus/NAME, crash inputs
# to build/fuzz/crashes/; copy a crash input into fuzz/regressions/NAME/ once
# it is fixed, so that every later run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/progress.sh

mode=${1:-smoke}
harnesses=(converter posted_date paths)
case "$mode" in
  smoke) limit=(-runs=20000) ;;
  long) limit=(-max_total_time="${2:-600}"); [ $# -gt 2 ] && harnesses=("${@:3}") ;;
  *) echo "usage: $0 [smoke | long [SECONDS [NAME...]]]" >&2; exit 2 ;;
esac

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build/fuzz/crashes
for name in "${harnesses[@]}"; do
  harness=build/fuzz/fuzz/fuzz_$name
  kept=("fuzz/regressions/$name"/*)
  if [ -e "${kept[0]}" ]; then
    echo "== $name: replaying ${#kept[@]} kept crash inputs"
    "$harness" "${kept[@]}" >"build/fuzz/$name-$mode-regressions.log" 2>&1 ||
      { tail -n 60 "build/fuzz/$name-$mode-regressions.log" >&2; exit 1; }
  fi
  echo "== $name: fuzzing (${limit[*]})"
  mkdir -p "build/fuzz/corpus/$name"
  log=build/fuzz/$name-$mode.log
  # The log is kept; every 25 s a line shows libFuzzer's last count of inputs.
  if ! "$harness" "${limit[@]}" -max_len=4096 -timeout=10 -rss_limit_mb=1024 \
      -print_final_stats=1 -artifact_prefix="build/fuzz/crashes/$name-" \
      "build/fuzz/corpus/$name" "fuzz/corpus/$name" 2>&1 | tee "$log" |
      progress "fuzzing $name" '^#[0-9]+'; then
    tail -n 60 "$log" >&2
    echo "fuzzing $name failed; the input is in build/fuzz/crashes/" >&2
    exit 1
  fi
  grep -a -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log"
done
