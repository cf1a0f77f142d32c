#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing,
# without questions. Usage: scripts/install-deps.sh run|install|package|test
#   run      build the program
#   install  build it with its manual page and install it by hand (cmake
#            --install, then the MIME, desktop and default-program updates)
#   package  build the Debian package (scripts/build-deb.sh)
#   test     everything scripts/test.sh needs
set -euo pipefail

run_packages=(cmake g++ make pkg-config libgtkmm-3.0-dev)
install_packages=("${run_packages[@]}" scdoc shared-mime-info desktop-file-utils xdg-utils)
package_packages=("${run_packages[@]}" build-essential dpkg-dev debhelper scdoc libgtest-dev)
test_packages=("${install_packages[@]}" "${package_packages[@]}" googletest
  clang libclang-rt-14-dev libbenchmark-dev time ofx locales
  xvfb xauth xdotool imagemagick
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine
  acl lintian appstream man-db libglib2.0-bin librsvg2-bin icoutils unzip)

case "${1:-}" in
  run) wanted=("${run_packages[@]}") ;;
  install) wanted=("${install_packages[@]}") ;;
  package) wanted=("${package_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  *) echo "usage: $0 run|install|package|test" >&2; exit 2 ;;
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
