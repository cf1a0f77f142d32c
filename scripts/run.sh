#!/usr/bin/env bash
# Builds ledgerlift (installing what is missing) and runs it with the given
# arguments: scripts/run.sh examples/statement.qfx
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" run
# The presets are read from the current folder: build from the root, then
# run the program in the caller's folder, where its relative paths point.
(cd "$root" && cmake --preset release >/dev/null && cmake --build --preset release >/dev/null)
exec "$root/build/release/src/ledgerlift" "$@"
