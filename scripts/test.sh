#!/usr/bin/env bash
# Builds everything and runs every test (installing what is missing): the
# house lint, the unit and end-to-end tests, then the whole suite again under
# ASan + UBSan, the fuzzers' smoke run, the Linux and Windows windows, the
# Windows installer, and the Debian package with the Windows release zip.
# Works from any folder. Every stage runs, also after one failed; the end is
# a summary, one line per stage (its own closing line: "N passed, M failed"
# for the shell suites), then the overall result. Exits 1 when any stage failed.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
scripts/install-deps.sh test || exit 1
source scripts/progress.sh

logs="$(mktemp -d /tmp/ledgerlift-test-XXXXXX)"
trap 'rm -rf "$logs"' EXIT
started=$(date +%s)
summary=()
failed_stages=0

# stage NAME COMMAND...: runs COMMAND, its output shown as it goes (after
# 25 s without a line, a line saying it still runs), and adds its result to
# the summary: the last "N passed, M failed" (or CTest's "tests passed") line
# it printed, or passed/failed. Its input is /dev/null, as in CI: run from a
# terminal, no stage waits on the keyboard or changes the terminal's modes.
stage() {
  local name="$1" stage_started=$SECONDS status result
  shift
  echo "=== $name"
  "$@" </dev/null 2>&1 | tee "$logs/stage.log" | progress "running \"$name\""
  status=${PIPESTATUS[0]}
  result=$(grep -aE '^[0-9]+ passed, [0-9]+ failed$|tests passed, [0-9]+ tests failed' \
    "$logs/stage.log" | tail -1)
  [ -n "$result" ] || result=$([ "$status" = 0 ] && echo passed || echo failed)
  if [ "$status" != 0 ]; then
    failed_stages=$((failed_stages + 1))
    result="FAILED: $result"
  fi
  summary+=("$(printf '%-44s %s (%d s)' "$name" "$result" $((SECONDS - stage_started)))")
}

stage "lint: clang-format, shellcheck" scripts/lint.sh
stage "unit and end-to-end tests" cmake --workflow --preset default
stage "QIF import into GnuCash" scripts/test-importers.sh build/default
stage "the same under ASan and UBSan" cmake --workflow --preset asan
stage "fuzzers, smoke run" scripts/test-fuzz.sh
stage "Linux window and dialogs (Xvfb)" scripts/test-linux-gui.sh build/default
stage "Windows program, installer (Wine, Xvfb)" scripts/test-windows.sh
stage "Debian package, installs, Windows zip" scripts/test-package.sh

minutes=$((($(date +%s) - started) / 60)) seconds=$((($(date +%s) - started) % 60))
echo
echo "=== Summary"
printf '%s\n' "${summary[@]}"
if [ "$failed_stages" -eq 0 ]; then
  echo "All ${#summary[@]} stages passed in $minutes min $seconds s."
else
  echo "$failed_stages of ${#summary[@]} stages failed ($minutes min $seconds s)."
  exit 1
fi
