#!/usr/bin/env bash
# Builds everything and runs every test (installing what is missing): the
# unit and end-to-end tests, then the whole suite again under ASan + UBSan,
# the fuzzers' smoke run, the Linux and Windows windows, and the Debian
# package with the Windows release zip. Works from any folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

cmake --workflow --preset default
cmake --workflow --preset asan
scripts/test-fuzz.sh
scripts/test-linux-gui.sh build/default
scripts/test-windows.sh
scripts/test-package.sh
