# Shared by the GUI test scripts: named checks that count passes and
# failures, and the closing "N passed, M failed" line. Source it; a script
# may define on_check_failure to add what it knows about a failure.
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
