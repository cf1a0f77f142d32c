#!/usr/bin/env bash
# The house habits, checked: every C and C++ file as the repository's
# .clang-format lays it out, every shell script clean under shellcheck at
# warning level (.shellcheckrc files say what the sourced suites share).
# Prints each finding and "N passed, M failed" over the two checks.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

passed=0 failed=0
verdict() {  # verdict NAME STATUS
  if [ "$2" = 0 ]; then echo "PASS: $1"; passed=$((passed + 1))
  else echo "FAIL: $1"; failed=$((failed + 1)); fi
}

git ls-files -z '*.cpp' '*.h' '*.c' | xargs -0 clang-format --dry-run -Werror
verdict "clang-format: every C and C++ file as .clang-format lays it out" $?
git ls-files -z '*.sh' .ci/run | xargs -0 shellcheck -S warning -x
verdict "shellcheck: no warnings in the shell scripts" $?

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
