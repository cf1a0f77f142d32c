#!/usr/bin/env bash
# Our registers judged by a finance program people use: each statement of the
# table is converted by the built program, GnuCash's own QIF importer imports
# the register (tests/importers/gnucash-import.scm, headless, every default of
# its assistant accepted), and what GnuCash booked is checked record by record
# against what the statement says: the accounts (one per !Account block, and
# one per security under an investment account), the date, the amount to the
# cent and the description of each transaction, the units and price of each
# trade in its security's account, and no U+FFFD or literal character
# reference (&amp;, &#38; ...) in any description (tests/importers/judge.awk).
#
# The table: every statement in examples/ and tests/importers/statements/,
# each with its expected bookings in tests/importers/expected/NAME.bookings
# (NAME: the statement's file name without its extension), written by hand
# from the statement. Adding a case is adding those two files.
#
# Usage: scripts/test-importers.sh [BUILD_DIR]   (default build/default, built
# first when it holds no program). Without GnuCash (Debian: gnucash,
# guile-3.0), or when it does not start, it says "SKIP: ..." and passes.
# Prints PASS/FAIL per check, one line of figures per statement, then
# "N passed, M failed"; exits 1 on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/default}"
source "$root/tests/gui/lib.sh"
use_build "$build" ledgerlift || exit 1
importers="$root/tests/importers"
use_work_folder importers

# gnucash_env COMMAND...: COMMAND as GnuCash's importer needs it: its libraries, a
# home of its own (the importer keeps account maps there, and an old map
# changes what the next import does), dates in UTC (the engine keeps local
# midnights), English account names, UTF-8.
gnucash_env() {
  local home engine=(/usr/lib/*/gnucash/libgnc-engine.so)
  home="$(mktemp -d "$work/home-XXXXXX")"
  env HOME="$home" TZ=UTC LC_ALL=C.UTF-8 LANGUAGE= \
    LD_LIBRARY_PATH="${engine[0]%/*}${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$@"
}

skip() {
  echo "SKIP: $*"
  echo "0 passed, 0 failed"
  exit 0
}
command -v guile-3.0 >/dev/null ||
  skip "no guile-3.0, so no GnuCash QIF importer (scripts/install-deps.sh test installs gnucash and guile-3.0)"
if ! started=$(cd "$work" && gnucash_env guile-3.0 --no-auto-compile \
  -c '(use-modules (gnucash engine) (gnucash qif-import))' 2>&1); then
  skip "GnuCash's QIF importer does not start: $(tail -1 <<<"$started")"
fi

# verdict PASS|FAIL DETAIL: a check's result as judge.awk gave it; the
# detail (what GnuCash booked instead) is shown below a failure.
verdict() { detail="$2"; [ "$1" = PASS ]; }
on_check_failure() { [ -z "${detail:-}" ] || echo "  $detail"; detail=""; }

# judge STATEMENT: converts the statement, imports its register, checks.
judge() {
  local statement="$1" name stem dir expected status
  name="$(basename "$statement")" stem="${name%.*}"
  dir="$work/cases/$stem" expected="$importers/expected/$stem.bookings"
  echo "== $name"
  check "$name: its expected bookings are in tests/importers/expected/$stem.bookings" \
    test -f "$expected" || return
  mkdir -p "$dir" && cp "$statement" "$dir/"
  (cd "$dir" && "$program" "$name" >program.out 2>&1)
  status=$?
  check "$name: Ledgerlift writes its register" test -f "$dir/$stem.qif" ||
    { echo "  exit $status: $(cat "$dir/program.out")"; return; }
  (cd "$dir" && gnucash_env guile-3.0 --no-auto-compile -s "$importers/gnucash-import.scm" \
    "$stem.qif" >booked.tsv 2>importer.log)
  status=$?
  sed 's/^/  /' "$dir/importer.log"
  check "$name: GnuCash imports its register" test "$status" = 0 || return
  local result what text records booked amounts descriptions trades shares
  while IFS=$'\t' read -r result what text; do
    if [ "$result" = figures ]; then
      read -r records booked amounts descriptions trades shares <<<"$what $text"
      [ "$trades" = 0 ] && shares="" ||
        shares=", $shares of $trades trades with units and price equal"
      figures+=("$name: $booked of $records records booked, $amounts amounts equal, $descriptions descriptions equal$shares")
    else
      check "$name: $what" verdict "$result" "$text"
    fi
  done < <(LC_ALL=C awk -f "$importers/judge.awk" "$expected" "$dir/booked.tsv")
}

figures=()
shopt -s nullglob
for statement in "$root"/examples/*.qfx "$importers"/statements/*.*; do
  judge "$statement"
done
echo
printf '%s\n' "${figures[@]}"
report_checks
