# Shared by the GUI test scripts: named checks that count passes and
# failures, the closing "N passed, M failed" line, a work folder and a
# private display. Source it; a script may define on_check_failure to add
# what it knows about a failure.
passed=0 failed=0

check() {  # check NAME COMMAND...: runs COMMAND, reports it under NAME
  local name="$1"
  shift
  if "$@"; then
    echo "PASS: $name"
    passed=$((passed + 1))
  else
    echo "FAIL: $name"
    failed=$((failed + 1))
    if declare -F on_check_failure >/dev/null; then on_check_failure; fi
  fi
}

report_checks() {  # prints the closing line; succeeds when nothing failed
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}

# use_work_folder NAME: a fresh folder $work in /tmp, removed when the
# script ends, together with the display start_display started.
use_work_folder() {
  work="$(mktemp -d "/tmp/ledgerlift-$1-XXXXXX")"
  xvfb_pid=""
  trap '[ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null; rm -rf "$work"' EXIT
}

# start_display: a private X display (Xvfb) for the rest of the script, with
# GTK's settings kept in memory; fails, showing Xvfb's log, if it does not
# start.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { cat "$work/xvfb.log"; return 1; }
  export DISPLAY=":$(cat "$work/display")"
  unset WAYLAND_DISPLAY
  export GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
}
