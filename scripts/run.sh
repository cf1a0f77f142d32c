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
# says so (ninja).
export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"
status=0
(cd "$root" && cmake --build --preset release) 2>&1 | awk -v jobs="$CMAKE_BUILD_PARALLEL_LEVEL" '
  !working && /^\[ *[0-9]+%\] Built target |^Consolidate compiler generated dependencies|^ninja: no work to do/ {
    held = held $0 "\n"
    next
  }
  !working {
    working = 1
    printf "Building ledgerlift (cmake --build --preset release, %d jobs):\n%s", jobs, held
  }
  { print; fflush() }' >&2 || status=$?
[ "$status" -eq 0 ] || { echo "The build failed (status $status)." >&2; exit 1; }

exec "$build/src/ledgerlift" "$@"
