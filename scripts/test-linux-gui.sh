#!/usr/bin/env bash
# The Linux window, its dialogs and the desktop files, tested on a virtual X
# display (Xvfb) that this script starts itself, driven with xdotool.
# Usage: scripts/test-linux-gui.sh [BUILD_DIR]   (default build/default; use
# a build without sanitizers: GTK under ASan reports its own leaks)
# Writes docs/screenshot-linux.png. Prints PASS/FAIL per check, exits 1 on
# any failure.
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build/default}" && pwd)"
program="$build/src/ledgerlift"
source "$root/scripts/checks.sh"
use_work_folder gui

# --- the display --------------------------------------------------------
if ! start_display; then
  echo "FAIL: Xvfb did not start"; echo "0 passed, 1 failed"; exit 1
fi
export LEDGERLIFT_GTK_LOG="$work/gtk.log"  # the module logs what its windows show
export HOME="$work/home"
mkdir -p "$HOME"
for helper in close-window drop-files; do
  g++ -o "$work/$helper" "$root/tests/gui/$helper.c" -lX11 || exit 1
done

# --- helpers ------------------------------------------------------------
# The id of the visible window captioned exactly $1, waiting up to 10 s.
window() { timeout 10 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1; }
# Whether the gtk log holds line $1, waiting up to 10 s.
logged() {
  for _ in $(seq 100); do grep -qxF -- "$1" "$work/gtk.log" 2>/dev/null && return 0; sleep 0.1; done
  echo "  expected log line: $1"; echo "  log:"; sed 's/^/    /' "$work/gtk.log" 2>/dev/null
  return 1
}
# Starts the program the way a file manager does (no terminal) in the
# background; its pid is $app, its output in $work/out and $work/err.
start() {
  : >"$work/gtk.log"
  "$@" </dev/null >"$work/out" 2>"$work/err" &
  app=$!
}
# Waits up to 10 s for the started program to end; its exit status is then
# in $status ("still running" when it had to be stopped).
finish() {
  for _ in $(seq 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app" 2>/dev/null; then
    kill "$app"; wait "$app"; status="still running"
  else
    wait "$app"; status=$?
  fi
}
press() { xdotool windowfocus --sync "$1" key --delay 60 "${@:2}"; }
close() { "$work/close-window" "$1"; }
is() { [ "$1" = "$2" ] || { echo "  got: '$1', expected: '$2'"; return 1; }; }
is_empty_file() { [ ! -s "$1" ] || { echo "  $1 holds:"; sed 's/^/    /' "$1"; return 1; }; }
type_path() {  # into the file chooser $1: location field, path, Return
  press "$1" ctrl+l && sleep 0.3 && xdotool type --delay 20 "$2" && sleep 0.3 &&
    xdotool key Return
}
failed_lines_file() { printf '<STMTTRN><NAME>ONE\r\n<STMTTRN><NAME>TWO\r\n' >"$1"; }

# --- the window ---------------------------------------------------------
start "$program"
w=$(window "Ledgerlift Converter")
check "window appears captioned 'Ledgerlift Converter'" test -n "$w"
check "window opens at its designed client size, 349x225" \
  is "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" "349x225"
sleep 0.5
mkdir -p "$root/docs"
import -window "$w" png:- 2>/dev/null | convert - -strip "$root/docs/screenshot-linux.png"
check "screenshot written to docs/screenshot-linux.png" \
  is "$(identify -format '%wx%h' "$root/docs/screenshot-linux.png" 2>/dev/null)" "349x225"
close "$w"
finish
check "closing the window ends the program with status 0" is "$status" 0
check "window prints nothing on a clean run" is_empty_file "$work/err"
check "Text1 starts as the home folder" logged "window closed, Text1: $HOME"

# A scaled desktop scales the designed size: a whole-number scale factor,
# and text scaled by half again (144 dots per inch).
for scaled in "GDK_SCALE=2 698x450" "GDK_DPI_SCALE=1.5 524x338"; do
  start env "${scaled% *}" "$program"
  w=$(window "Ledgerlift Converter")
  check "scaled desktop (${scaled% *}): window opens at ${scaled#* }" \
    is "$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Geometry: //p')" "${scaled#* }"
  close "$w"
  finish
done

# Tab order: InputSelect has the focus, Tab reaches OutPutSelect.
start "$program"
w=$(window "Ledgerlift Converter")
press "$w" Tab Return
c=$(window "Choose the output folder")
check "Tab reaches 'Set Output Dir', which opens the folder chooser" test -n "$c"
press "$c" Escape
check "folder chooser cancelled with Escape" logged "folder chooser: cancelled"
close "$w"
check "cancelled folder chooser leaves Text1 as it was" logged "window closed, Text1: $HOME"
finish
check "window ends with status 0 after the chooser" is "$status" 0

start "$program"
w=$(window "Ledgerlift Converter")
press "$w" Tab Return
c=$(window "Choose the output folder")
type_path "$c" /
check "folder chooser accepts the root folder" logged "folder chooser: chosen"
close "$w"
check "choosing / sets Text1 to / (no separator added or removed)" \
  logged "window closed, Text1: /"
finish

# "Convert QFX": converts into Text1's folder; a failure leaves the window open.
mkdir -p "$work/in"
failed_lines_file "$work/in/two bad.qfx"
start "$program"
w=$(window "Ledgerlift Converter")
press "$w" Return
f=$(window "Convert QFX")
check "'Convert QFX' (first in tab order) opens the file chooser" test -n "$f"
type_path "$f" "$work/in/two bad.qfx"
check "window mode shows the failed-lines message in a dialog" \
  logged 'message "Ledgerlift": Failed to read 2 lines of data from QFX file.'
press "$(window Ledgerlift)" Return
sleep 0.5
check "the window stays open after the message" test -n "$(window "Ledgerlift Converter")"
check "converted into Text1's folder, the home folder" test -f "$HOME/two bad.qif"
close "$w"
finish
check "window ends with status 0 after a failed file" is "$status" 0

# Files dropped on the window: each converted into Text1's folder, one
# message at the end.
cp "$root/examples/statement.qfx" "$work/in/good one.qfx"
failed_lines_file "$work/in/bad.qfx"
start "$program"
w=$(window "Ledgerlift Converter")
check "the window takes a drop of two files" \
  "$work/drop-files" "$w" "file://$work/in/good%20one.qfx" "file://$work/in/bad.qfx"
check "two files dropped: one dialog naming the file with failed lines" \
  logged "message \"Ledgerlift\": $work/in/bad.qfx: Failed to read 2 lines of data from QFX file."
press "$(window Ledgerlift)" Return
sleep 0.3
check "both dropped files converted into Text1's folder" \
  test -f "$HOME/good one.qif" -a -f "$HOME/bad.qif"
check "the converted drop equals the shipped example's QIF" \
  cmp -s "$HOME/good one.qif" "$root/examples/statement.qif"
close "$w"
finish
check "window ends with status 0 after the drop" is "$status" 0

# The output-folder box emptied: a dropped file goes beside itself, not to
# the root folder.
cp "$root/examples/statement.qfx" "$work/in/beside.qfx"
start "$program"
w=$(window "Ledgerlift Converter")
press "$w" Tab Tab ctrl+a Delete  # InputSelect, OutPutSelect, then Text1
"$work/drop-files" "$w" "file://$work/in/beside.qfx"
for _ in $(seq 50); do [ -s "$work/in/beside.qif" ] && break; sleep 0.1; done
check "emptied output-folder box: the dropped file is converted beside itself" \
  cmp -s "$work/in/beside.qif" "$root/examples/statement.qif"
check "emptied output-folder box: nothing written to the root folder" test ! -e /beside.qif
close "$w"
check "emptied output-folder box: Text1 is empty" logged "window closed, Text1: "
finish

# The link opens the web address with the desktop's handler for it.
mkdir -p "$work/data/applications" "$work/config"
cat >"$work/browser" <<EOF
#!/bin/sh
echo "\$1" >"$work/opened"
EOF
chmod +x "$work/browser"
cat >"$work/data/applications/test-browser.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=Test browser
Exec=$work/browser %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
EOF
printf '[Default Applications]\nx-scheme-handler/https=test-browser.desktop\n' \
  >"$work/config/mimeapps.list"
XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" start "$program"
w=$(window "Ledgerlift Converter")
press "$w" Tab Tab Tab Return  # InputSelect, OutPutSelect, Text1, then the link
for _ in $(seq 50); do [ -s "$work/opened" ] && break; sleep 0.1; done
check "Tab reaches the link; it opens the web address with the desktop's handler" \
  is "$(cat "$work/opened" 2>/dev/null)" "https://tessarine.com/"
close "$w"
finish

# --- conversion mode ----------------------------------------------------
failed_lines_file "$work/in/stmt.qfx"
start "$program" "$work/in/stmt.qfx"
d=$(window Ledgerlift)
check "desktop start: the message is a dialog captioned 'Ledgerlift'" test -n "$d"
check "desktop start: the dialog says exactly the failed-lines text" \
  logged 'message "Ledgerlift": Failed to read 2 lines of data from QFX file.'
sleep 0.3
press "$d" Return
finish
check "desktop start: OK ends the program with status 1" is "$status" 1
check "desktop start: the QIF file is written" test -f "$work/in/stmt.qif"
check "desktop start: nothing on standard error" is_empty_file "$work/err"

# Several files selected in a file manager and opened together: one
# process, one dialog at the end naming each file that had something to say.
cp "$root/examples/statement.qfx" "$work/in/several good.qfx"
failed_lines_file "$work/in/several bad.qfx"
start "$program" "$work/in/several good.qfx" "$work/in/several bad.qfx" "$work/in/gone.qfx"
d=$(window Ledgerlift)
check "desktop start with three files: a dialog" test -n "$d"
check "desktop start with three files: exactly one dialog" \
  is "$(xdotool search --onlyvisible --name '^Ledgerlift$' 2>/dev/null | wc -l)" 1
check "desktop start with three files: the dialog names the file with failed lines" \
  logged "message \"Ledgerlift\": $work/in/several bad.qfx: Failed to read 2 lines of data from QFX file."
check "desktop start with three files: ... and the missing one, on its own line" \
  logged "$work/in/gone.qfx: Error 2: cannot open input file $work/in/gone.qfx: No such file or directory"
sleep 0.3
press "$d" Return
finish
check "desktop start with three files: OK ends the program with the worst status, 2" \
  is "$status" 2
check "desktop start with three files: the others are converted beside themselves" \
  test -f "$work/in/several good.qif" -a -f "$work/in/several bad.qif"
check "desktop start with three files: one dialog only (none left after OK)" \
  is "$(grep -c '^message ' "$work/gtk.log")" 1

cp "$root/examples/statement.qfx" "$work/in/clean.qfx"
start env LD_DEBUG=files "$program" "$work/in/clean.qfx"
finish
check "desktop start of a clean file: status 0, GTK never loaded" \
  bash -c "[ $status = 0 ] && ! grep -q 'ledgerlift-gtk\|libgtk' '$work/err'"

timeout 10 script -qec "'$program' '$work/in/stmt.qfx'" /dev/null >"$work/tty" 2>&1
check "terminal start with a display: message on the terminal, no dialog" \
  grep -q "Failed to read 2 lines of data from QFX file." "$work/tty"

start env -u DISPLAY "$program"
finish
check "no display: window mode exits 0" is "$status" 0
check "no display: window mode prints the help instead" \
  grep -q "Usage: ledgerlift FILE.qfx" "$work/out"

# --- without the module -------------------------------------------------
mkdir -p "$work/alone"
cp "$program" "$work/alone/"
start "$work/alone/ledgerlift"
finish
check "module missing: window mode exits 0" is "$status" 0
check "module missing: window mode prints the help" grep -q "Usage: ledgerlift FILE.qfx" "$work/out"
start "$work/alone/ledgerlift" "$work/in/stmt.qfx"
finish
check "module missing: desktop start exits 1" is "$status" 1
check "module missing: the message goes to standard error" \
  is "$(cat "$work/err")" "Failed to read 2 lines of data from QFX file."

# --- installed ----------------------------------------------------------
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1
check "cmake --install places program, module, desktop entry, MIME type, icons, metadata, manual" \
  test -x "$prefix/bin/ledgerlift" -a -f "$prefix/lib/ledgerlift/ledgerlift-gtk.so" \
  -a -f "$prefix/share/applications/com.tessarine.Ledgerlift.desktop" \
  -a -f "$prefix/share/mime/packages/ledgerlift.xml" \
  -a -f "$prefix/share/icons/hicolor/16x16/apps/ledgerlift.png" \
  -a -f "$prefix/share/icons/hicolor/256x256/apps/ledgerlift.png" \
  -a -f "$prefix/share/icons/hicolor/scalable/apps/ledgerlift.svg" \
  -a -f "$prefix/share/metainfo/com.tessarine.Ledgerlift.metainfo.xml" \
  -a -f "$prefix/share/man/man1/ledgerlift.1"
check "desktop-file-validate accepts the desktop entry" \
  desktop-file-validate "$prefix/share/applications/com.tessarine.Ledgerlift.desktop"
check "the icon is 16x16" \
  is "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/16x16/apps/ledgerlift.png")" 16x16
update-mime-database "$prefix/share/mime" >/dev/null 2>&1
check "the MIME database learns *.qfx" \
  grep -q 'application/vnd.intu.qfx:\*\.qfx$' "$prefix/share/mime/globs2"
check "the MIME database learns *.ofx" \
  grep -q 'application/x-ofx:\*\.ofx$' "$prefix/share/mime/globs2"
check "  ... without case sensitivity (no 'cs' flag)" \
  bash -c "! grep -E ':\\*\\.(qfx|ofx):cs' '$prefix/share/mime/globs2'"
start "$prefix/bin/ledgerlift" "$work/in/stmt.qfx"
d=$(window Ledgerlift)
check "installed program finds its module: desktop start shows the dialog" test -n "$d"
[ -n "$d" ] && press "$d" Return
finish
check "installed program: OK ends it with status 1" is "$status" 1

# The desktop entry hands every selected file to one process (%F), as a file
# manager launches it, also a name holding double quotes.
check "the desktop entry passes all selected files (%F)" \
  grep -qx 'Exec=ledgerlift %F' "$prefix/share/applications/com.tessarine.Ledgerlift.desktop"
mkdir -p "$work/launched"
cp "$root/examples/statement.qfx" "$work/launched/say \"hi\".qfx"
failed_lines_file "$work/launched/two bad.qfx"
: >"$work/gtk.log"
PATH="$prefix/bin:$PATH" gio launch "$prefix/share/applications/com.tessarine.Ledgerlift.desktop" \
  "$work/launched/say \"hi\".qfx" "$work/launched/two bad.qfx" </dev/null >/dev/null 2>&1
d=$(window Ledgerlift)
check "launched from the desktop entry with two files: one dialog naming the file" \
  logged "message \"Ledgerlift\": $work/launched/two bad.qfx: Failed to read 2 lines of data from QFX file."
[ -n "$d" ] && press "$d" Return
check "launched from the desktop entry: the file named with quotes is converted" \
  cmp -s "$work/launched/say \"hi\".qif" "$root/examples/statement.qif"

report_checks
