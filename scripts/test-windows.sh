#!/usr/bin/env bash
# Cross-builds ledgerlift.exe with mingw-w64 and tests it under Wine, with a
# private Wine prefix in build/windows: the program file, the unit tests,
# conversions with Windows paths (output bytes, the message on standard
# error, the exit status), then, under a private Xvfb, the window, its link
# label, buttons and dialogs, its size at 96 and 144 DPI, and the message box
# a conversion shows when standard error is not redirected, and the
# installer: made twice the same, installed, a statement opened through the
# file type it registers, uninstalled leaving nothing. The cases are in
# tests/gui/windows, one file per topic; tests/gui/lib.sh is the harness they
# share with the Linux suites. Keeps a screenshot of the window in
# build/windows/screenshots (scripts/update-screenshots.sh copies it into
# docs/).
# Usage: scripts/test-windows.sh [SUITE...]   (default: every suite)
# Prints PASS or FAIL per check and "N passed, M failed"; exits 1 on any
# failure. Called by scripts/test.sh; the packages come from
# scripts/install-deps.sh test.
# shellcheck disable=SC2034  # what it sets here, the suites it sources read
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root="$(pwd)"
build="$root/build/windows"
exe="$build/src/ledgerlift.exe"
screenshots="$build/screenshots"
source "$root/tests/gui/lib.sh"
source "$root/scripts/progress.sh"
use_work_folder wine

suites=(program conversions names replacing window dpi message-box installer)
[ $# -gt 0 ] && suites=("$@")

on_check_failure() {  # what the screen showed, for finding out why
  if [ -n "${DISPLAY:-}" ]; then
    import -window root "$build/failure-$(failures).png" 2>/dev/null &&
      echo "  screen: $build/failure-$(failures).png"
  fi
}

echo "== Cross-building ledgerlift.exe"
mkdir -p "$build"
if ! { cmake --preset windows && cmake --build --preset windows -j2; } 2>&1 |
  tee "$build/build.log" | progress "cross-building ledgerlift.exe" '^\[ *[0-9]+%\]'; then
  tail -20 "$build/build.log"
  check "cross-build with the windows preset" false
  report_checks
  exit 1
fi
check "cross-build with the windows preset" test -f "$exe"

# --- Wine ----------------------------------------------------------------
wine_started=$(date +%s)
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# File names pass between Linux and Wine as UTF-8; Wine's code page is 1252.
export LC_ALL=C.UTF-8
# Wine's server keeps its socket and lock in a folder under /tmp named after
# the prefix's device and inode; the folder and the lock stay when the
# server ends.
remove_server_folder() {
  local server folder
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  [ -d "$WINEPREFIX" ] || return 0
  server="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
  for folder in /tmp/.wine-"$(id -u)"/"$server" /tmp/wine-*/"$server"; do
    [ -d "$folder" ] || continue
    rm -f "$folder/lock" "$folder/socket"
    rmdir "$folder" 2>/dev/null && rmdir "${folder%/*}" 2>/dev/null
  done
  return 0
}
at_exit remove_server_folder

# A private X display for the whole Wine part: Wine's desktop process,
# started with the first program, draws on the display it was started with.
if ! start_display; then
  check "Xvfb starts" false
  report_checks
  exit 1
fi

# Wine links the Windows Desktop and Documents to the home folder: a home of
# its own keeps what the folder chooser picks inside the build folder.
export HOME="$build/wine-home"
prefix_version=2  # raise when the prefix's set-up below changes
if [ "$(cat "$WINEPREFIX/.ledgerlift-ready" 2>/dev/null)" != "$prefix_version" ]; then
  echo "== Creating the Wine prefix $WINEPREFIX"
  wineserver -k 2>/dev/null
  rm -rf "$WINEPREFIX" "$HOME"
  mkdir -p "$HOME"
  {
    wineboot -i >/dev/null 2>&1
    # Without a window manager, Wine stalls 2 s on every hide or destroy of
    # a window unless it draws the window frames itself.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    wineserver -w
  } | progress "creating the Wine prefix" ""
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  echo "$prefix_version" >"$WINEPREFIX/.ledgerlift-ready"
fi

# set_dpi N|default: the desktop's dots per inch (Wine reads the setting
# when its server starts, so the server is started again).
set_dpi() {
  if [ "$1" = default ]; then
    wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
  else
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
      >/dev/null 2>&1
  fi
  wineserver -k
  wineserver -w
  start_wine_server
}
# A server that stays, started before any output is piped: otherwise the
# first program's helper services keep the pipes open.
start_wine_server() {
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}
# A DPI setting left behind by an interrupted run goes first.
if awk '/^\[/ { section = $0 }
        /^"LogPixels"/ && section ~ /^\[Control Panel\\\\Desktop\]/ { found = 1 }
        END { exit !found }' "$WINEPREFIX/user.reg" 2>/dev/null; then
  set_dpi default
else
  start_wine_server
fi

# Wine's windows get the keys of the window under the pointer.
keys_to=pointer
# For the suites:
# shellcheck disable=SC2034
crlf=$'\r\n'  # a message is one line, ended as Windows ends lines
# shellcheck disable=SC2034
drive_c="$WINEPREFIX/drive_c"

# The Windows path of a file here: Wine's Z: drive is the root folder.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# run ARGUMENT...: runs the program in the current folder (the case's) with
# standard error in the file $err, outside that folder; sets $status.
err="$work/.err"
run() {
  timeout 60 wine "$exe" "$@" >/dev/null 2>"$err"
  # shellcheck disable=SC2034  # read by the suites
  status=$?
}

# start_exe [--stderr FILE] ARGUMENT...: starts the program in the
# background (the window, or a message box), standard error not redirected
# to a file or pipe unless FILE is given.
start_exe() {
  local errors=/dev/null
  if [ "${1:-}" = --stderr ]; then errors="$2"; shift 2; fi
  PATH="$work/bin:$PATH" timeout 120 wine "$exe" "$@" >/dev/null 2>"$errors" </dev/null &
  app=$!
  echo "$app" >>"$work/.started"
}

# box_says TEXT: the shown message box captioned "Ledgerlift" says exactly
# TEXT (lines separated by newlines), read by a Windows helper.
box_says() { is "$(wine "$work/bin/dialog-text.exe" read 2>/dev/null)" "$1"; }

# choose_file FILE: in the open-file dialog, enters FILE's Windows path and
# opens it. ASCII is typed; other letters, which X cannot type reliably
# (each needs a key remapped), are put into the file name box by a helper.
choose_file() {
  local chooser path
  chooser=$(find_window "Convert QFX")
  [ -n "$chooser" ] || return 1
  path="$(windows_path "$1")"
  if LC_ALL=C grep -q '^[ -~]*$' <<<"$path"; then
    press "$chooser" ctrl+a
    xdotool type --delay 20 "$path"
  else
    wine "$work/bin/dialog-text.exe" put "Convert QFX" "$path" >/dev/null 2>&1 || return 1
    sleep 0.3
    xdotool mousemove --window "$chooser" 5 5
  fi
  xdotool key Return
  gone "Convert QFX"
}

# file_uri PATH: PATH as a file:// address, its bytes percent-encoded as a
# file manager sends them.
file_uri() {
  local LC_ALL=C path="$1" out="" c i
  for ((i = 0; i < ${#path}; i++)); do
    c="${path:i:1}"
    case "$c" in
      [a-zA-Z0-9/._~-]) out+="$c" ;;
      *) printf -v c '%%%02X' "'$c"; out+="$c" ;;
    esac
  done
  printf 'file://%s' "$out"
}

# The helpers: the X ones, the Windows one that reads and fills dialogs,
# and a stand-in browser (Wine hands web addresses to xdg-open) that writes
# the address into the case's folder.
build_x_helpers || check "the X helpers of tests/gui build (libx11-dev, libxfixes-dev)" false
x86_64-w64-mingw32-gcc -o "$work/bin/dialog-text.exe" tests/gui/dialog-text.c -lshell32 ||
  check "the dialog helper builds (mingw-w64)" false
printf '#!/bin/sh\nprintf "%%s" "$*" >"$case_dir/opened"\n' >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

run_suites "$root/tests/gui/windows" "${suites[@]}"
echo "Wine part: $(($(date +%s) - wine_started)) s"
report_checks
