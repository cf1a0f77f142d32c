#!/usr/bin/env bash
# Builds ledgerlift (installing what is missing) and runs it with the given
# arguments: scripts/run.sh examples/statement.qfx
# Says on standard error what it does while it works (the packages it
# installs, the configuring, the build with its progress); when the program
# is built already it says nothing, so the program's messages stand alone.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build/release"
"$root/scripts/install-deps.sh" run

# The presets are read from the current folder: build from the root, then
# run the program in the caller's folder, where its relative paths point.
# A configured build folder configures itself again when a CMakeLists.txt
# changes, as part of the build.
if [ ! -f "$build/CMakeCache.txt" ] || { [ ! -f "$build/Makefile" ] && [ ! -f "$build/build.ninja" ]; }; then
  echo "Configuring the build in $build (cmake --preset release)..." >&2
  mkdir -p "$build"
  if ! (cd "$root" && cmake --preset release) >"$build/configure.log" 2>&1; then
    cat "$build/configure.log" >&2
    echo "Configuring failed; the output above is kept in $build/configure.log." >&2
    exit 1
  fi
fi

# The build tool's lines are shown once it has something to do: a build
# with nothing to do only lists the targets that are up to date (make) or
# says so (ninja). Read line by line, so that each shows as it comes.
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
show_when_working() {
  local line held=() working=false
  while IFS= read -r line; do
    if ! $working; then
      case "$line" in
        *"] Built target "* | "Consolidate compiler generated dependencies"* | \
          "ninja: no work to do"*)
          held+=("$line")
          continue
          ;;
      esac
      working=true
      echo "Building ledgerlift (cmake --build --preset release," \
        "$CMAKE_BUILD_PARALLEL_LEVEL jobs):"
      [ ${#held[@]} -eq 0 ] || printf '%s\n' "${held[@]}"
    fi
    printf '%s\n' "$line"
  done
}
status=0
(cd "$root" && cmake --build --preset release) 2>&1 | show_when_working >&2 || status=$?
[ "$status" -eq 0 ] || { echo "The build failed (status $status)." >&2; exit 1; }

exec "$build/src/ledgerlift" "$@"
