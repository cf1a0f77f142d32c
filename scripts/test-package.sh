#!/usr/bin/env bash
# Ledgerlift as users install it. The Debian package: built with
# scripts/build-deb.sh, checked with lintian, its files and modes listed,
# then unpacked into a temporary root (no root rights needed) and run from
# there: a conversion, the dialog under Xvfb, and a double-click on a .qfx
# file through the desktop's file associations. Its desktop entry, AppStream
# metadata and manual page are validated. Then the icons are made again from
# their drawing and compared, the Windows release zip is made, opened and
# made again (the same bytes), scripts/run.sh is run from another folder
# (then again, built: silent), and scripts/install-deps.sh is run against
# stand-ins for dpkg-query and apt-get while dpkg's lock is held (as root).
# Usage: scripts/test-package.sh   (run after scripts/test-windows.sh, whose
# build the zip reuses). Prints PASS or FAIL per check, "N passed, M failed",
# and how long the package build took; exits 1 on any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source "$root/tests/gui/lib.sh"
source "$root/scripts/progress.sh"
use_work_folder package

# quietly COMMAND...: runs COMMAND, shows its output only when it fails.
quietly() { "$@" >"$work/output" 2>&1 || { sed 's/^/  /' "$work/output"; return 1; }; }

# --- one version everywhere ---------------------------------------------
# The program, its manual page and its Windows resources take the version
# from project(VERSION); the package's changelog and the AppStream release
# history must write it out, so they are checked against it.
version=$(project_version)
package_version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
check "debian/changelog carries the project's version ($version)" \
  is "${package_version%-*}" "$version"
newest_release=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' \
  "$root/packaging/linux/com.tessarine.Ledgerlift.metainfo.xml" | head -1)
check "the AppStream metadata's newest release is the project's version" \
  is "$newest_release" "$version"

# --- the package ----------------------------------------------------------
echo "== Building the Debian package"
deb_dir="$root/build/deb"
started=$(date +%s)
"$root/scripts/build-deb.sh" "$deb_dir"
build_status=$?
package_seconds=$(($(date +%s) - started))
arch=$(dpkg --print-architecture)
deb="$deb_dir/ledgerlift_${package_version}_$arch.deb"
check "dpkg-buildpackage makes $(basename "$deb")" \
  test "$build_status" = 0 -a -f "$deb"
if [ ! -f "$deb" ]; then
  report_checks
  exit 1
fi

# Lintian leaves its ELF caches in TMPDIR: here, in the work folder.
mkdir -p "$work/lintian-tmp"
TMPDIR="$work/lintian-tmp" \
  lintian --fail-on error,warning "$deb_dir/ledgerlift_${package_version}_$arch.changes" \
  >"$work/lintian" 2>&1
lintian_status=$?
grep -v 'running with root privileges' "$work/lintian" | sed 's/^/  lintian: /'
check "lintian: no errors, and no warning left without an override" is "$lintian_status" 0

# Every file the package holds, with its mode and owner.
expected_files="\
-rwxr-xr-x root/root ./usr/bin/ledgerlift
-rw-r--r-- root/root ./usr/lib/ledgerlift/ledgerlift-gtk.so
-rw-r--r-- root/root ./usr/share/applications/com.tessarine.Ledgerlift.desktop
-rw-r--r-- root/root ./usr/share/metainfo/com.tessarine.Ledgerlift.metainfo.xml
-rw-r--r-- root/root ./usr/share/mime/packages/ledgerlift.xml
-rw-r--r-- root/root ./usr/share/icons/hicolor/16x16/apps/ledgerlift.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/32x32/apps/ledgerlift.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/48x48/apps/ledgerlift.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/64x64/apps/ledgerlift.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/128x128/apps/ledgerlift.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/256x256/apps/ledgerlift.png
-rw-r--r-- root/root ./usr/share/icons/hicolor/scalable/apps/ledgerlift.svg
-rw-r--r-- root/root ./usr/share/man/man1/ledgerlift.1.gz
-rw-r--r-- root/root ./usr/share/doc/ledgerlift/copyright
-rw-r--r-- root/root ./usr/share/doc/ledgerlift/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/lintian/overrides/ledgerlift"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6 }' | sort >"$work/files"
while read -r mode owner path; do
  check "package holds ${path#./} ($mode $owner)" grep -qxF -- "$mode $owner $path" "$work/files"
done <<<"$expected_files"
check "package holds nothing else" \
  is "$(wc -l <"$work/files")" "$(wc -l <<<"$expected_files")"
depends=$(dpkg-deb -f "$deb" Depends)
check "dependencies computed from the program and its module (libc6, libgtkmm-3.0)" \
  bash -c "grep -q 'libc6 (' <<<'$depends' && grep -q 'libgtkmm-3.0-1v5 (' <<<'$depends'"

# --- the unpacked package ---------------------------------------------------
installed="$work/root"
dpkg-deb -x "$deb" "$installed"
program="$installed/usr/bin/ledgerlift"
share="$installed/usr/share"

mkdir -p "$work/in"
cp "$root/examples/statement.qfx" "$work/in/statement.qfx"
"$program" "$work/in/statement.qfx" </dev/null >"$work/out" 2>"$work/err"
check "unpacked program: converts the example, exit status 0" is "$?" 0
check "unpacked program: the register equals examples/statement.qif" \
  same_bytes "$work/in/statement.qif" "$root/examples/statement.qif"
check "unpacked program: nothing on standard error" is_empty_file "$work/err"
check "unpacked program: --version prints the project's version" \
  is "$("$program" --version)" "Ledgerlift $version"

check "desktop-file-validate accepts the desktop entry" \
  quietly desktop-file-validate "$share/applications/com.tessarine.Ledgerlift.desktop"
check "appstreamcli validates the metadata and its desktop entry (offline)" \
  quietly appstreamcli validate-tree --no-net "$installed"
# renders_cleanly PAGE: man formats PAGE without a warning (as lintian does).
renders_cleanly() {
  LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$1" >/dev/null 2>"$work/man.err" &&
    is_empty_file "$work/man.err"
}
page="$share/man/man1/ledgerlift.1.gz"
check "man -l renders the manual page without warnings" renders_cleanly "$page"
MANWIDTH=80 man -l "$page" 2>/dev/null >"$work/man.txt"
for heading in SYNOPSIS "EXIT STATUS" ERRORS "ODD CASES" FILES; do
  check "manual page: section $heading" grep -qx "$heading" "$work/man.txt"
done
check "manual page: carries the project's version" grep -q "Ledgerlift $version" "$work/man.txt"

# --- the desktop, on a private display ------------------------------------
check "a private display (Xvfb) starts" start_display
export HOME="$work/home"
export LEDGERLIFT_GTK_LOG="$work/gtk.log"  # the module logs what its windows show
mkdir -p "$HOME"

failed_lines_file "$work/in/failed.qfx"
LEDGERLIFT_FROM_DESKTOP=1 "$program" "$work/in/failed.qfx" </dev/null >/dev/null 2>"$work/err" &
app=$!
dialog=$(find_window Ledgerlift)
check "unpacked program started from a desktop: the dialog appears" test -n "$dialog"
check "  ... shown by the module from usr/lib/ledgerlift of the package" \
  grep -q "$installed/usr/lib/ledgerlift/ledgerlift-gtk.so" "/proc/$app/maps"
check "  ... saying exactly the failed-lines text" grep -qxF \
  'message "Ledgerlift": Failed to read 2 lines of data from QFX file.' "$work/gtk.log"
[ -n "$dialog" ] && sleep 0.3 && xdotool windowfocus --sync "$dialog" key Return
for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill "$app" 2>/dev/null
wait "$app"
check "  ... OK ends the program with status 1" is "$?" 1

# A double-click: the file manager asks the desktop which program opens the
# file (gio open, as GTK file managers do). Installing the package runs the
# MIME and desktop database updates through the system's triggers; here they
# run on the unpacked root, with no other settings in the way.
update-mime-database "$share/mime" >/dev/null 2>&1
update-desktop-database "$share/applications"
mkdir -p "$work/data" "$work/config"
desktop=(env XDG_DATA_DIRS="$share:/usr/share" XDG_DATA_HOME="$work/data"
  XDG_CONFIG_HOME="$work/config" PATH="$installed/usr/bin:$PATH")
cp "$root/examples/statement.qfx" "$work/in/STMT.QFX"
check "desktop: *.QFX (any case) is a QFX statement" \
  is "$("${desktop[@]}" gio info -a standard::content-type "$work/in/STMT.QFX" |
    sed -n 's/.*standard::content-type: //p')" application/vnd.intu.qfx
for type in application/vnd.intu.qfx application/x-ofx; do
  check "desktop: Ledgerlift opens $type by default" \
    is "$("${desktop[@]}" gio mime "$type" | sed -n '1s/.*: //p')" com.tessarine.Ledgerlift.desktop
done
"${desktop[@]}" gio open "$work/in/STMT.QFX" </dev/null >/dev/null 2>&1
for _ in $(seq 100); do [ -s "$work/in/STMT.qif" ] && break; sleep 0.1; done
sleep 0.2
check "desktop: a double-click on STMT.QFX writes STMT.qif beside it" \
  same_bytes "$work/in/STMT.qif" "$root/examples/statement.qif"

# --- the icons ---------------------------------------------------------------
echo "== Making the icons again from packaging/ledgerlift.svg"
"$root/packaging/make-icons.sh" "$work/icons"
check "packaging/make-icons.sh runs" is "$?" 0
for size in 16 32 48 64 128 256; do
  png="packaging/linux/icons/hicolor/${size}x$size/apps/ledgerlift.png"
  check "icon ${size}x$size: ${size}x$size pixels" \
    is "$(identify -format '%wx%h' "$root/$png" 2>&1)" "${size}x$size"
  check "icon ${size}x$size: made again from the drawing, the same bytes" \
    same_bytes "$work/icons/$png" "$root/$png"
done
check "Windows icon: made again from the drawing, the same bytes" \
  same_bytes "$work/icons/src/window/win32/ledgerlift.ico" "$root/src/window/win32/ledgerlift.ico"

# --- the Windows release zip -----------------------------------------------
echo "== Making the Windows release zip"
zip="$root/build/windows/ledgerlift-$version-windows.zip"
rm -f "$zip"
(cd "$root" && cmake --workflow --preset windows-zip) 2>&1 | tee "$work/zip.log" |
  progress "making the Windows zip" '^\[ *[0-9]+%\]' || tail -n 20 "$work/zip.log"
check "cmake --workflow --preset windows-zip makes $(basename "$zip")" test -f "$zip"
check "the zip holds the program, README.txt and LICENSE.txt, nothing else" \
  is "$(unzip -Z1 "$zip" 2>&1 | sort | tr '\n' ' ')" "LICENSE.txt README.txt ledgerlift.exe "
sed 's/$/\r/' "$root/packaging/windows/README.txt" >"$work/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$work/LICENSE.txt"
for text in README.txt LICENSE.txt; do
  unzip -p "$zip" "$text" >"$work/zipped-$text" 2>/dev/null
  check "zip: $text is the one for Windows with CR LF line ends" \
    same_bytes "$work/zipped-$text" "$work/$text"
done
unzip -p "$zip" ledgerlift.exe >"$work/zipped.exe" 2>/dev/null
check "zip: ledgerlift.exe is the program built" \
  same_bytes "$work/zipped.exe" "$root/build/windows/src/ledgerlift.exe"
mv "$zip" "$work/first.zip"
rm -rf "$root/build/windows/packaging/windows/release"
(cd "$root" && cmake --build --preset windows-zip) >>"$work/zip.log" 2>&1
check "the zip made again from the same tree: the same bytes" same_bytes "$zip" "$work/first.zip"

# --- scripts/run.sh from another folder -------------------------------------
echo "== scripts/run.sh from another folder"
mkdir -p "$work/elsewhere"
cp "$root/examples/statement.qfx" "$work/elsewhere/"
# The first run builds the release preset: its progress on standard error.
(cd "$work/elsewhere" &&
  env -u DISPLAY timeout 600 "$root/scripts/run.sh" statement.qfx </dev/null 2>&1 >/dev/null |
  tee "$work/err" | progress "building with scripts/run.sh" '^\[ *[0-9]+%\]')
check "scripts/run.sh from another folder: builds and converts, status 0" is "$?" 0
check "scripts/run.sh from another folder: the register lands in that folder" \
  same_bytes "$work/elsewhere/statement.qif" "$root/examples/statement.qif"
(cd "$work/elsewhere" &&
  env -u DISPLAY timeout 600 "$root/scripts/run.sh" --version </dev/null >"$work/out" 2>"$work/err")
check "scripts/run.sh once built: only the program speaks" \
  bash -c "[ ! -s '$work/err' ] && [ \"\$(cat '$work/out')\" = 'Ledgerlift $version' ]"

# --- scripts/install-deps.sh ------------------------------------------------
# Against stand-ins for dpkg-query (every package missing) and apt-get
# (which only notes how it was called).
echo "== scripts/install-deps.sh"
mkdir -p "$work/apt"
printf '#!/bin/sh\necho "deinstall ok config-files"\n' >"$work/apt/dpkg-query"
printf '#!/bin/sh\necho "$*" >>"%s/apt/calls"\n' "$work" >"$work/apt/apt-get"
chmod +x "$work/apt/dpkg-query" "$work/apt/apt-get"
check "install-deps.sh --list test: each package once" \
  is "$("$root/scripts/install-deps.sh" --list test | sort | uniq -d)" ""
if [ "$(id -u)" = 0 ]; then
  # Another package manager holds dpkg's lock for 3 s.
  perl -MFcntl -e 'open(my $f, "+<", "/var/lib/dpkg/lock-frontend") or die "$!\n";
    my $lock = pack("s s q q i x4", F_WRLCK, 0, 0, 0, 0);
    fcntl($f, F_SETLK, $lock) or die "$!\n"; sleep 3' &
  holder=$!
  sleep 0.5
  PATH="$work/apt:$PATH" "$root/scripts/install-deps.sh" test >/dev/null 2>"$work/err"
  wait "$holder"
  check "install-deps.sh, the package manager busy: says it waits for that process" \
    grep -q "^Another package manager is running (process $holder, perl); waiting" "$work/err"
  check "  ... and installs once it is free, each package named once" \
    bash -c "grep -q 'is free after' '$work/err' &&
      [ \"\$(grep ' install ' '$work/apt/calls' | tr ' ' '\n' | grep -v '^-' | sort | uniq -d)\" = '' ]"
  check "  ... apt-get itself waits for the lock too" grep -q 'DPkg::Lock::Timeout=' "$work/apt/calls"
else
  echo "SKIP: install-deps.sh waiting for the package manager's lock (needs root)"
fi

echo "Package build (scripts/build-deb.sh, tests included): $package_seconds s"
report_checks
