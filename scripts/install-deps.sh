#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing,
# without questions. Usage: scripts/install-deps.sh run|test
set -euo pipefail

run_packages=(cmake g++ make pkg-config libgtkmm-3.0-dev)
test_packages=("${run_packages[@]}" libgtest-dev googletest
  clang libclang-rt-14-dev libbenchmark-dev time ofx locales
  xvfb xauth xdotool imagemagick desktop-file-utils libglib2.0-bin
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine)

case "${1:-}" in
  run) wanted=("${run_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing missing packages: ${missing[*]}" >&2
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
