#!/usr/bin/env bash
# What a plain conversion pays for GTK: start to exit of a 10 KB conversion as
# built (the GTK module is not loaded), against the same run with the module
# and its GTK libraries loaded at start (LD_PRELOAD), which is what linking
# GTK into the program would cost. Prints means, peak memory and the ratio.
# Usage: scripts/bench-linux-startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/default}" && pwd)"
runs="${2:-200}"
program="$build/src/ledgerlift"
module="$build/src/ledgerlift-gtk.so"
work="$(mktemp -d /tmp/ledgerlift-bench-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# About 10 KB: the example's header, then its transactions repeated.
grep -v '<STMTTRN>' "$root/examples/statement.qfx" | head -n 15 >"$work/stmt.qfx"
while [ "$(stat -c %s "$work/stmt.qfx")" -lt 10240 ]; do
  grep '<STMTTRN>' "$root/examples/statement.qfx" >>"$work/stmt.qfx"
done

mean_ms() {  # mean_ms ENV...: mean wall time of $runs conversions, in ms
  local start end
  start=$(date +%s%N)
  for _ in $(seq "$runs"); do env "$@" "$program" "$work/stmt.qfx" >/dev/null 2>&1 </dev/null; done
  end=$(date +%s%N)
  awk -v ns="$((end - start))" -v runs="$runs" 'BEGIN { printf "%.2f", ns / runs / 1e6 }' 
}
peak_kib() { env "$@" /usr/bin/time -f %M "$program" "$work/stmt.qfx" 2>&1 >/dev/null </dev/null | tail -1; }

env "$program" "$work/stmt.qfx" >/dev/null 2>&1 </dev/null || true  # warm the caches
plain=$(mean_ms)
loaded=$(mean_ms LD_PRELOAD="$module")
echo "input: $(stat -c %s "$work/stmt.qfx") bytes, $runs runs each"
echo "as built (no GTK):           ${plain} ms, peak $(peak_kib) KiB"
echo "GTK loaded at start:         ${loaded} ms, peak $(peak_kib LD_PRELOAD="$module") KiB"
echo "ratio GTK loaded / as built: $(awk -v a="$loaded" -v b="$plain" 'BEGIN { printf "%.1f", a / b }')"
