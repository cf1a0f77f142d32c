#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing,
# without questions. Usage: scripts/install-deps.sh [--list] run|install|package|test
#   run      build the program
#   install  build it with its manual page and install it by hand (cmake
#            --install, then the MIME, desktop and default-program updates)
#   package  build the Debian package (scripts/build-deb.sh)
#   test     everything scripts/test.sh needs
#   --list   print the task's packages, one a line, and install nothing
# When another package manager holds the lock (an unattended upgrade, a
# software centre), it says so and waits for it, up to
# LEDGERLIFT_APT_WAIT seconds (300).
set -euo pipefail

run_packages=(cmake g++ make pkg-config libgtkmm-3.0-dev)
install_packages=("${run_packages[@]}" scdoc shared-mime-info desktop-file-utils xdg-utils)
package_packages=("${run_packages[@]}" build-essential dpkg-dev debhelper scdoc libgtest-dev)
test_packages=("${install_packages[@]}" "${package_packages[@]}" googletest
  clang libclang-rt-14-dev libbenchmark-dev time ofx locales
  xvfb xauth xdotool imagemagick
  g++-mingw-w64-x86-64-posix wine wine64 fonts-wine wixl msitools faketime
  acl lintian appstream man-db libglib2.0-bin librsvg2-bin icoutils zip unzip
  clang-format shellcheck gnucash guile-3.0)

list=false
if [ "${1:-}" = --list ]; then list=true; shift; fi
case "${1:-}" in
  run) wanted=("${run_packages[@]}") ;;
  install) wanted=("${install_packages[@]}") ;;
  package) wanted=("${package_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  *) echo "usage: $0 [--list] run|install|package|test" >&2; exit 2 ;;
esac
# The lists build on each other: each package once, in the order first named.
mapfile -t wanted < <(printf '%s\n' "${wanted[@]}" | awk '!seen[$0]++')
if $list; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

# lock_holder: the process holding one of the package manager's locks
# ("PID NAME"), read from the kernel's table of file locks; empty when none.
lock_holder() {
  local file dev inode pid
  for file in /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock \
    /var/lib/apt/lists/lock /var/cache/apt/archives/lock; do
    read -r dev inode < <(stat -c '%d %i' "$file" 2>/dev/null) || continue
    # /proc/locks names a file as MAJOR:MINOR:INODE, the numbers in hex.
    pid=$(awk -v id="$(printf '%02x:%02x:%d' $((dev >> 8 & 0xfff)) \
      $(((dev & 0xff) | (dev >> 12 & 0xfff00))) "$inode")" \
      '$6 == id { print $5; exit } $7 == id { print $6; exit }' /proc/locks)
    if [ -n "$pid" ]; then
      echo "$pid $(cat "/proc/$pid/comm" 2>/dev/null || echo '?')"
      return
    fi
  done
}

wait_limit=${LEDGERLIFT_APT_WAIT:-300}
waited=0 holder=$(lock_holder)
if [ -n "$holder" ]; then
  echo "Another package manager is running (process ${holder% *}, ${holder#* });" \
    "waiting up to $((wait_limit / 60)) min $((wait_limit % 60)) s for it to finish..." >&2
  while [ -n "$holder" ] && [ "$waited" -lt "$wait_limit" ]; do
    sleep 2
    waited=$((waited + 2))
    holder=$(lock_holder)
    if [ -n "$holder" ] && [ $((waited % 20)) -eq 0 ]; then
      echo "Still waiting for process ${holder% *} (${holder#* }): $waited s of $wait_limit s..." >&2
    fi
  done
  if [ -n "$holder" ]; then
    echo "The package manager is still busy after $waited s (process ${holder% *}," \
      "${holder#* }); try again when it has finished." >&2
    exit 1
  fi
  echo "The package manager is free after $waited s." >&2
fi

sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
# apt-get itself waits for whatever takes the lock between the check above
# and its own start, for the time left.
timeout=(-o "DPkg::Lock::Timeout=$((wait_limit - waited))")
echo "Installing missing packages: ${missing[*]}" >&2
"${sudo[@]}" apt-get "${timeout[@]}" update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get "${timeout[@]}" install -y -q \
  --no-install-recommends "${missing[@]}"
