#!/usr/bin/env bash
# Takes the README's two pictures again: runs the window suites of both
# systems (which take them into the build folders) and copies them into
# docs/. The test runs themselves never change a tracked file.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/test-linux-gui.sh build/default window
scripts/test-windows.sh window
cp build/default/screenshots/screenshot-linux.png docs/screenshot-linux.png
cp build/windows/screenshots/screenshot-windows.png docs/screenshot-windows.png
echo "docs/screenshot-linux.png and docs/screenshot-windows.png updated"
