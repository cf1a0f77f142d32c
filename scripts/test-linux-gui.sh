#!/usr/bin/env bash
# The Linux window, its dialogs and the desktop files, tested on a virtual X
# display (Xvfb) that this script starts itself, driven with xdotool. The
# cases are in tests/gui/linux, one file per topic; tests/gui/lib.sh is the
# harness they share with the Windows suites.
# Usage: scripts/test-linux-gui.sh [BUILD_DIR [SUITE...]]   (default
# build/default and every suite; use a build without sanitizers: GTK under
# ASan reports its own leaks)
# Builds the default preset first when BUILD_DIR is that preset's folder and
# holds no program. Keeps a screenshot of the window in
# BUILD_DIR/screenshots (scripts/update-screenshots.sh copies it into docs/).
# Prints PASS/FAIL per check and "N passed, M failed"; exits 1 on any failure.
# shellcheck disable=SC2034  # what it sets here, the suites it sources read
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/default}"
shift $(($# > 0 ? 1 : 0))
source "$root/tests/gui/lib.sh"
use_build "$build" || exit 1
screenshots="$build/screenshots"
use_work_folder gui

suites=(window link choosers drop messages module installed)
[ $# -gt 0 ] && suites=("$@")

if ! start_display; then
  check "Xvfb starts" false
  report_checks
  exit 1
fi
if ! build_x_helpers; then
  check "the X helpers of tests/gui build (libx11-dev, libxfixes-dev)" false
  report_checks
  exit 1
fi

# Every case has a home of its own, the window's initial output folder, and
# a log of what the GTK module's windows show.
set_up_case() {
  export HOME="$case_dir/home" LEDGERLIFT_GTK_LOG="$case_dir/gtk.log"
  mkdir -p "$HOME"
  : >"$LEDGERLIFT_GTK_LOG"
}

# logged LINE: the GTK log holds LINE, waiting up to 10 s.
logged() {
  for _ in $(seq 100); do grep -qxF -- "$1" "$LEDGERLIFT_GTK_LOG" && return 0; sleep 0.1; done
  echo "  expected log line: $1"
  echo "  log:"
  sed 's/^/    /' "$LEDGERLIFT_GTK_LOG"
  false
}

# open_window [ENVIRONMENT...]: starts the program in window mode; the
# window's id is $w.
open_window() {
  start_program env "$@" "$program"
  w=$(find_window "Ledgerlift Converter")
}

# type_path CHOOSER PATH: into a GTK file chooser: the location field, the
# path, Return.
type_path() {
  press "$1" ctrl+l && sleep 0.3 && xdotool type --delay 20 "$2" && sleep 0.3 &&
    xdotool key Return
}

run_suites "$root/tests/gui/linux" "${suites[@]}"
report_checks
