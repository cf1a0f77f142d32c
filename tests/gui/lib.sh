# shellcheck shell=bash
# The harness of the shell test suites (scripts/test-linux-gui.sh,
# scripts/test-windows.sh, scripts/test-package.sh). Source it.
#
#   checks    check NAME COMMAND... runs COMMAND and prints PASS or FAIL;
#             report_checks prints the closing "N passed, M failed"
#   suites    run_suites DIR SUITE...: each SUITE is DIR/SUITE.sh, one file
#             per topic; every test_* function in it is a case, run in file
#             order, in a subshell, in a fresh folder $case_dir, so that no
#             state passes from one case to the next
#   display   start_display: a private X display (Xvfb)
#   windows   find_window, gone, press, close_window, the link's look
#   programs  start_program, wait_program: a program in the background
#   files     is, holds, same_bytes, is_empty_file, files_in, wait_for_file
#
# A command under `timeout` runs in a process group of its own: in a
# terminal, in its background, where reading the terminal or setting its
# modes stops it until the time is up. Give such a command </dev/null when
# it would (script does; xdotool, import and Wine's programs with their
# output redirected only ask the modes), so that the suites pass in a
# terminal as in CI.
#
# A runner sets $root (the repository) and may define on_check_failure
# (called after a failed check) and set_up_case (called in each case's
# subshell before the case runs).

gui_tests="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# --- checks -------------------------------------------------------------
# Passes and failures are counted in a file, so that checks made inside a
# case's subshell count too.

check() {  # check NAME COMMAND...: runs COMMAND, reports it under NAME
  local name="$1"
  shift
  if "$@"; then
    echo "PASS: $name"
    echo PASS >>"$work/.results"
  else
    echo "FAIL: $name"
    echo FAIL >>"$work/.results"
    if declare -F on_check_failure >/dev/null; then on_check_failure; fi
  fi
}

failures() { grep -c FAIL "$work/.results" 2>/dev/null; }

report_checks() {  # prints the closing line; succeeds when nothing failed
  local passed failed
  passed=$(grep -c PASS "$work/.results" 2>/dev/null)
  failed=$(failures)
  echo "${passed:-0} passed, ${failed:-0} failed"
  [ "${failed:-0}" -eq 0 ]
}

# use_work_folder NAME: a fresh folder $work in /tmp, removed when the
# script ends, with the display start_display started and whatever the
# runner added with at_exit.
# use_build BUILD_DIR [TARGET]: the build whose program a suite runs: sets
# $build (absolute) and $program. The default preset's folder is built first
# when it holds no program (TARGET alone, or everything); another folder must
# hold one. Fails, with the closing line, when there is none.
use_build() {
  build="$1"
  [[ "$build" = /* ]] || build="$PWD/$build"
  [ "$(realpath -m "$build")" = "$root/build/default" ] && build="$root/build/default"
  if [ ! -x "$build/src/ledgerlift" ] && [ "$build" = "$root/build/default" ]; then
    echo "== Building the default preset (no program in $build yet)"
    (cd "$root" && cmake --preset default >/dev/null &&
      cmake --build --preset default ${2:+--target "$2"} -j2) ||
      { echo "the build failed"; echo "0 passed, 1 failed"; return 1; }
  fi
  if [ ! -x "$build/src/ledgerlift" ]; then
    echo "no program in $build/src: build it first (cmake --workflow --preset default)"
    echo "0 passed, 1 failed"
    return 1
  fi
  build="$(cd "$build" && pwd)"
  program="$build/src/ledgerlift"
}

use_work_folder() {
  work="$(mktemp -d "/tmp/ledgerlift-$1-XXXXXX")"
  : >"$work/.results"
  xvfb_pid=""
  exit_commands=""
  trap '
    eval "$exit_commands"
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    rm -rf "$work"' EXIT
}
at_exit() { exit_commands+="$*;"; }

# --- suites and cases ---------------------------------------------------

# run_suites DIR SUITE...: runs the cases of DIR/SUITE.sh for each SUITE.
run_suites() {
  local dir="$1" suite
  shift
  for suite in "$@"; do
    if [ ! -f "$dir/$suite.sh" ]; then
      check "suite $suite exists ($dir/$suite.sh)" false
      continue
    fi
    echo "== $suite"
    run_suite "$dir/$suite.sh"
  done
}

run_suite() {
  local file="$1" case_function
  local functions
  functions=$(sed -n 's/^\(test_[A-Za-z0-9_]*\) *() *{.*/\1/p' "$file")
  # shellcheck disable=SC1090
  source "$file"
  for case_function in $functions; do
    run_case "$case_function"
  done
  # shellcheck disable=SC2086
  unset -f $functions
}

# run_case FUNCTION: FUNCTION in a subshell, in a fresh folder $case_dir;
# any program it started and left running is stopped afterwards.
run_case() {
  local function="$1" title="${1#test_}"
  case_count=$((${case_count:-0} + 1))
  echo "-- ${title//_/ }"
  export case_dir="$work/cases/$case_count-$title"  # also for helper scripts
  mkdir -p "$case_dir"
  (
    cd "$case_dir" || exit 1
    if declare -F set_up_case >/dev/null; then set_up_case; fi
    "$function"
  )
  stop_leftovers
}

# --- programs in the background ------------------------------------------

# start_program COMMAND...: starts COMMAND in the background the way a file
# manager starts a program (no terminal): its pid is $app, its output goes
# to $case_dir/out and $case_dir/err.
start_program() {
  "$@" </dev/null >"$case_dir/out" 2>"$case_dir/err" &
  app=$!
  echo "$app" >>"$work/.started"
}

# wait_program [SECONDS]: waits up to SECONDS (20) for the program started
# last to end; its exit status is then in $status ("still running" when it
# had to be stopped).
wait_program() {
  local tenths=$((${1:-20} * 10))
  for _ in $(seq "$tenths"); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then
    kill "$app"
    wait "$app" 2>/dev/null
    status="still running"
  else
    wait "$app"
    status=$?
  fi
}

stop_leftovers() {
  local pid
  [ -f "$work/.started" ] || return 0
  while read -r pid; do
    if kill -0 "$pid" 2>/dev/null; then
      echo "  (stopping program $pid, left running by the case)"
      kill "$pid" 2>/dev/null
    fi
  done <"$work/.started"
  : >"$work/.started"
}

# --- the display and its windows ------------------------------------------

# start_display: a private X display (Xvfb) for the rest of the script, with
# GTK's settings kept in memory; fails, showing Xvfb's log, if it does not
# start.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/.display" \
    >"$work/.xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/.display" ] && break; sleep 0.1; done
  [ -s "$work/.display" ] || { cat "$work/.xvfb.log"; return 1; }
  DISPLAY=":$(cat "$work/.display")"
  export DISPLAY
  unset WAYLAND_DISPLAY
  export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
}

# build_x_helpers: the X helpers of tests/gui into $work/bin.
build_x_helpers() {
  local helper libraries
  mkdir -p "$work/bin"
  for helper in close-window cursor-name drop-files; do
    libraries=(-lX11)
    [ "$helper" = cursor-name ] && libraries+=(-lXfixes)
    cc -o "$work/bin/$helper" "$gui_tests/$helper.c" "${libraries[@]}" || return 1
  done
}

# xdotool's search ends at once, with "X Error ... BadWindow", when a
# window goes away while it reads the windows' names (a dialog closing as a
# message box opens): such a search is made again.

# find_window TITLE: the id of the visible window of exactly that title,
# waiting up to 20 s; empty when none appears.
find_window() {
  local deadline=$((SECONDS + 20)) found=""
  while [ -z "$found" ] && [ "$SECONDS" -lt "$deadline" ]; do
    found=$(timeout $((deadline - SECONDS)) \
      xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1)
    [ -n "$found" ] || sleep 0.1
  done
  [ -z "$found" ] || echo "$found"
}

# window_count TITLE: how many visible windows have that title.
window_count() {
  local found
  for _ in $(seq 20); do
    found=$(xdotool search --onlyvisible --name "^$1\$" 2>&1)
    [[ "$found" = *"X Error"* ]] || break
    sleep 0.1
  done
  grep -c '^[0-9]' <<<"$found"
}

# gone TITLE: waits up to 10 s until no visible window has that title.
gone() {
  for _ in $(seq 100); do
    [ "$(window_count "$1")" = 0 ] && return 0
    sleep 0.1
  done
  false
}

# press WINDOW KEY...: keys for WINDOW. GTK windows take the focus; Wine's
# windows, without a window manager, get the keys of the window under the
# pointer (keys_to=pointer).
press() {
  local target="$1"
  shift
  if [ "${keys_to:-focus}" = pointer ]; then
    sleep 0.3
    xdotool mousemove --window "$target" 5 5 key "$@"
  else
    timeout 20 xdotool windowfocus --sync "$target" key --delay 60 "$@" 2>/dev/null
  fi
}

# close_window WINDOW: as the frame's close button does (Wine: alt+F4).
close_window() {
  if [ "${keys_to:-focus}" = pointer ]; then
    press "$1" alt+F4
  else
    "$work/bin/close-window" "$1"
  fi
}

# window_size WINDOW: "WIDTHxHEIGHT".
window_size() {
  xdotool getwindowgeometry "$1" 2>/dev/null | sed -n 's/.*Geometry: //p'
}

# fits_on_screen WINDOW: the window lies wholly on the 1024 x 768 screen.
fits_on_screen() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$1")"
  [ "$X" -ge 0 ] && [ "$Y" -ge 0 ] && [ $((X + WIDTH)) -le 1024 ] &&
    [ $((Y + HEIGHT)) -le 768 ] ||
    { echo "  the window lies at ${X},$Y, ${WIDTH}x$HEIGHT"; false; }
}

# cursor_over WINDOW X Y: the name (or shape) of the pointer at X,Y in the
# window, after a move there that the window has seen.
cursor_over() {
  xdotool mousemove --window "$1" "$(($2 - 2))" "$(($3 - 1))" sleep 0.3 \
    mousemove --window "$1" "$2" "$3" sleep 0.3
  "$work/bin/cursor-name"
}

# looks_like_link WINDOW X Y WIDTH HEIGHT: the area of the window shows
# text in a link's colour (blue well above red), underlined (a row of that
# colour as wide as most of the text).
looks_like_link() {
  [ -n "$1" ] || { echo "  no window"; return 1; }
  timeout 20 import -window "$1" -crop "${4}x${5}+${2}+$3" +repage "$case_dir/link.png" 2>/dev/null
  convert "$case_dir/link.png" -depth 8 rgb:- | od -An -v -tu1 -w3 | awk -v width="$4" '
    {
      x = (NR - 1) % width; y = int((NR - 1) / width); r = $1; b = $3
      if (b > r + 80 && b > 120) {
        blue[y]++; total++
        if (first == "" || x < first) first = x
        if (x > last) last = x
      }
    }
    END {
      if (total < 20) { print "  no text in a link colour"; exit 1 }
      for (y in blue) if (blue[y] >= 0.8 * (last - first + 1)) underline = 1
      if (!underline) { print "  the link colour, but no underline"; exit 1 }
    }'
}

# screenshot WINDOW FILE: a PNG of the window, without dates, into FILE.
# Fails at once when no window was found (given no id, `import` would wait
# for a mouse click) and after 20 s when the X server does not answer.
screenshot() {
  [ -n "$1" ] || { echo "  no window to take a picture of"; return 1; }
  mkdir -p "$(dirname "$2")"
  timeout 20 import -window "$1" -strip -define png:exclude-chunks=date,time "$2" 2>/dev/null
}

# --- files ------------------------------------------------------------------

is() { [ "$1" = "$2" ] || { echo "  got: '$1', expected: '$2'"; false; }; }
is_empty_file() { [ ! -s "$1" ] || { echo "  $1 holds:"; sed 's/^/    /' "$1"; false; }; }
same_bytes() { cmp -s "$1" "$2" || { echo "  $1 differs from $2"; false; }; }
# holds FILE TEXT: the file's bytes are exactly TEXT.
holds() {
  printf '%s' "$2" >"$work/.expected"
  cmp -s "$1" "$work/.expected" || {
    echo "  $1 holds:"; cat -A "$1" 2>&1 | head -5 | sed 's/^/    /'
    echo "  expected:"; cat -A "$work/.expected" | head -5 | sed 's/^/    /'
    false
  }
}
# files_in DIR: the paths under DIR, sorted, on one line.
files_in() { (cd "$1" && find . -mindepth 1 | sort | tr '\n' ' '); }
# wait_for_file FILE [SECONDS]: waits up to SECONDS (5) for FILE to hold
# something.
wait_for_file() {
  for _ in $(seq $((${2:-5} * 10))); do [ -s "$1" ] && return 0; sleep 0.1; done
  false
}

# The version every shown text and resource carries: project(VERSION).
project_version() {
  sed -n 's/^project(ledgerlift VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt"
}

# The transaction most cases convert, and the register it gives.
shop_line=$'<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<FITID>77<NAME>CORNER SHOP<MEMO>CARD 55</STMTTRN>\r\n'
shop_qif=$'!Type:Bank\r\nD03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n'
# failed_lines_file FILE: a statement of two transactions that cannot be read.
failed_lines_file() { printf '<OFX>\r\n<STMTTRN><NAME>ONE\r\n<STMTTRN><NAME>TWO\r\n</OFX>\r\n' >"$1"; }
# What the program says of that file on standard error.
failed_lines_said="Failed to read 2 lines of data from QFX file.
  line 2: no type, no date, no amount
  line 3: no type, no date, no amount"
