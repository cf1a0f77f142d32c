#!/usr/bin/env bash
# Builds the Debian package (ledgerlift_VERSION_ARCH.deb) the Debian way,
# dpkg-buildpackage on debian/, in a copy of the sources, so that the
# repository stays clean; installs the build's dependencies first. The
# package, its debug symbols, .changes and .buildinfo go to OUTPUT_DIR
# (default build/deb), the build's log to OUTPUT_DIR/build.log.
# Usage: scripts/build-deb.sh [OUTPUT_DIR]
# DEB_BUILD_OPTIONS=nocheck leaves the tests out of the package build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
out="${1:-$root/build/deb}"
source "$root/scripts/progress.sh"
"$root/scripts/install-deps.sh" package
mkdir -p "$out"
out="$(cd "$out" && pwd)"

version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
work="$(mktemp -d /tmp/ledgerlift-deb-XXXXXX)"
trap 'rm -rf "$work"' EXIT
# dpkg-buildpackage writes its results beside the source folder.
source="$work/ledgerlift-${version%-*}"
mkdir "$source"
tar -C "$root" --exclude=./build --exclude=./.git -cf - . | tar -C "$source" -xf -

# Every 25 s a line names the build's last step: a debhelper command, the
# build tool's "[ 42%] ..." or the test that ran last.
echo "Building the package ledgerlift $version (log: $out/build.log)"
if ! (cd "$source" && dpkg-buildpackage -us -uc -b) 2>&1 | tee "$out/build.log" |
  progress "building the package" '^\[ *[0-9]+%\]|Test +#[0-9]+:|^ +dh_[a-z_]+'; then
  tail -n 40 "$out/build.log" >&2
  echo "dpkg-buildpackage failed; the whole log is $out/build.log" >&2
  exit 1
fi
rm -f "$out"/ledgerlift*_*.{deb,ddeb,changes,buildinfo}
cp "$work"/*.deb "$work"/*.changes "$work"/*.buildinfo "$out/"
cp "$work"/*.ddeb "$out/" 2>/dev/null || true
ls "$out"/*.deb
