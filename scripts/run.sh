#!/usr/bin/env bash
# Builds ledgerlift (installing what is missing) and runs it with the given
# arguments: scripts/run.sh examples/statement.qfx
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/install-deps.sh" run
cmake --preset release -S "$root" >/dev/null
cmake --build --preset release >/dev/null
exec "$root/build/release/src/ledgerlift" "$@"
