#!/usr/bin/env bash
# Cross-builds ledgerlift.exe with mingw-w64 and tests it under Wine, with a
# private Wine prefix in build/windows: the unit tests, conversions with
# Windows paths (output bytes, the message on standard error, the exit
# status), then, under a private Xvfb, the window, its link label, buttons
# and dialogs, its size at 96 and 144 DPI, and the message box a conversion
# shows when standard error is not redirected. Keeps a screenshot of the
# window in docs/screenshot-windows.png.
# Prints PASS or FAIL per check and "N passed, M failed"; exits 1 on any
# failure. Called by scripts/test.sh; the packages come from
# scripts/install-deps.sh test.
set -uo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
build="$root/build/windows"
exe="$build/src/ledgerlift.exe"

source "$root/scripts/checks.sh"
on_check_failure() {  # what the screen showed, for finding out why
  if [ -n "${DISPLAY:-}" ]; then
    import -window root "$build/failure-$failed.png" 2>/dev/null &&
      echo "  screen: $build/failure-$failed.png"
  fi
}
finish() {
  report_checks
  exit
}

echo "== Cross-building ledgerlift.exe"
mkdir -p "$build"
if ! { cmake --preset windows && cmake --build --preset windows -j2; } >"$build/build.log" 2>&1; then
  tail -20 "$build/build.log"
  check "cross-build with the windows preset" false
  finish
fi
check "cross-build with the windows preset" test -f "$exe"

# One self-contained file: only system DLLs, no mingw runtime beside it.
headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
texts="$(strings "$exe")"
wide_texts="$(strings -el "$exe")"
has() { grep -qE "$2" <<<"$1"; }
check "ledgerlift.exe needs no mingw DLLs (static runtime)" \
  eval '! has "$headers" "DLL Name: (libstdc|libgcc|libwinpthread)"'
check "ledgerlift.exe is a GUI program" has "$headers" "Subsystem.*Windows GUI"
check "version resource: product Ledgerlift, version 1.0.0" \
  eval 'has "$wide_texts" "^Ledgerlift$" && has "$wide_texts" "^1\.0\.0$"'
check "manifest: common controls 6 and per-monitor DPI awareness" \
  eval 'has "$texts" "Microsoft\.Windows\.Common-Controls" && has "$texts" PerMonitorV2'

# --- Wine --------------------------------------------------------------------
wine_started=$(date +%s)
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# File names pass between Linux and Wine as UTF-8; Wine's code page is 1252.
export LC_ALL=C.UTF-8
unset DISPLAY WAYLAND_DISPLAY
work="$(mktemp -d /tmp/ledgerlift-wine-XXXXXX)"
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private X display for the whole Wine part: Wine's desktop process,
# started with the first program, draws on the display it was started with.
exec 3>"$work/.display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$work/.display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/.display")"

# Wine links the Windows Desktop and Documents to the home folder: a home of
# its own keeps what the folder chooser picks inside the build folder.
export HOME="$build/wine-home"
prefix_version=2  # raise when the prefix's set-up below changes
if [ "$(cat "$WINEPREFIX/.ledgerlift-ready" 2>/dev/null)" != "$prefix_version" ]; then
  echo "== Creating the Wine prefix $WINEPREFIX"
  wineserver -k 2>/dev/null
  rm -rf "$WINEPREFIX" "$HOME"
  mkdir -p "$HOME"
  wineboot -i >/dev/null 2>&1
  # Without a window manager, Wine stalls 2 s on every hide or destroy of a
  # window unless it draws the window frames itself.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  wineserver -w
  echo "$prefix_version" >"$WINEPREFIX/.ledgerlift-ready"
fi
# A DPI setting left behind by an interrupted run goes first.
dpi_left_behind() {
  awk '/^\[/ { section = $0 }
       /^"LogPixels"/ && section ~ /^\[Control Panel\\\\Desktop\]/ { found = 1 }
       END { exit !found }' "$WINEPREFIX/user.reg" 2>/dev/null
}
if dpi_left_behind; then
  wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
  wineserver -k
  wineserver -w
fi
# A server that stays, started before any output is piped: otherwise the
# first program's helper services keep the pipes open.
wineserver -p
wine cmd /c exit >/dev/null 2>&1 </dev/null

# The Windows path of a file here: Wine's Z: drive is the root folder.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# run [-C FOLDER] ARGUMENT...: runs the program in FOLDER (the test folder)
# with standard error in the file $err; sets $status.
err="$work/.err"
run() {
  local folder="$work"
  if [ "$1" = -C ]; then folder="$2"; shift 2; fi
  (cd "$folder" && timeout 60 wine "$exe" "$@" >/dev/null 2>"$err")
  status=$?
}
same_bytes() { cmp -s "$1" "$2" || { echo "  $1 differs from $2"; false; }; }
# holds FILE TEXT: the file's bytes are exactly TEXT.
holds() {
  printf '%s' "$2" >"$work/.expected"
  cmp -s "$1" "$work/.expected" || {
    echo "  $1 holds:"; cat -A "$1" 2>&1 | head -5 | sed 's/^/    /'
    echo "  expected:"; cat -A "$work/.expected" | head -5 | sed 's/^/    /'
    false
  }
}
crlf=$'\r\n'  # a message is one line, ended as Windows ends lines
equals() { [ "$1" = "$2" ] || { echo "  got $1, expected $2"; false; }; }
files_in() { (cd "$1" && find . -mindepth 1 | sort | tr '\n' ' '); }

shop_line=$'<STMTTRN><TRNTYPE>DEBIT<DTPOSTED>20110302<TRNAMT>-12.50<FITID>77<NAME>CORNER SHOP<MEMO>CARD 55</STMTTRN>\r\n'
shop_qif=$'!Type:Bank\r\nD03-02-2011\r\nPCORNER SHOP\r\nT-12.50\r\nMDEBIT\r\n^\r\n'

echo "== Unit tests, cross-built, under Wine"
ctest --preset windows >"$build/unit-tests.log" 2>&1
unit_status=$?
grep -E 'tests passed|FAILED' "$build/unit-tests.log" | sed 's/^/  /'
check "unit tests under Wine (log: build/windows/unit-tests.log)" equals "$unit_status" 0

echo "== Conversions under Wine (standard error redirected)"
case_dir() { local d="$work/$1"; mkdir -p "$d"; printf '%s' "$d"; }

d=$(case_dir example)
cp examples/statement.qfx "$d/statement.qfx"
run "$(windows_path "$d/statement.qfx")"
check "shipped example: exit status 0" equals "$status" 0
check "shipped example: no message" holds "$err" ""
check "shipped example: output equals examples/statement.qif" \
  same_bytes "$d/statement.qif" examples/statement.qif

d=$(case_dir blanks)
mkdir -p "$d/My Files"
cp examples/statement.qfx "$d/My Files/bank stmt.qfx"
# Wine puts an argument with blanks in double quotes, as Explorer does.
run "$(windows_path "$d/My Files/bank stmt.qfx")"
check "quoted path with blanks: exit status 0" equals "$status" 0
check "quoted path with blanks: output beside the input" \
  same_bytes "$d/My Files/bank stmt.qif" examples/statement.qif

d=$(case_dir upper)
printf '%s' "$shop_line" >"$d/STMT.QFX"
run "$(windows_path "$d/STMT.QFX")"
check "upper-case .QFX: exit status 0" equals "$status" 0
check "upper-case .QFX: STMT.qif beside the input" holds "$d/STMT.qif" "$shop_qif"

d=$(case_dir relative)
printf '%s' "$shop_line" >"$d/stmt.qfx"
run -C "$d" stmt.qfx
check "name without a folder: written to the current folder" holds "$d/stmt.qif" "$shop_qif"

d=$(case_dir codepage)
printf '%s' "$shop_line" >"$d/€uro café.qfx"
run "$(windows_path "$d/€uro café.qfx")"
check "name outside ASCII (in code page 1252): exit status 0" equals "$status" 0
check "name outside ASCII (in code page 1252): output written" \
  holds "$d/€uro café.qif" "$shop_qif"

# Names no code page holds: Polish, Cyrillic, Chinese, an emoji outside the
# Basic Multilingual Plane, and a folder named so (a user's profile folder).
d=$(case_dir unicode)
mkdir -p "$d/Użytkownik Пётр"
for name in "Łódź" "Пётр выписка" "银行对账单" "💸 March" "Użytkownik Пётр/stmt"; do
  printf '%s' "$shop_line" >"$d/$name.qfx"
  run "$(windows_path "$d/$name.qfx")"
  check "name outside the code page ($name): exit status 0, no message" \
    eval '[ "$status" = 0 ] && holds "$err" ""'
  check "name outside the code page ($name): output beside the input" \
    holds "$d/$name.qif" "$shop_qif"
done

# The code page's best fit for Łódź.qfx is Lódz.qfx: the look-alike beside
# it must never be the file converted.
d=$(case_dir look-alike)
printf '%s' "$shop_line" >"$d/Łódź.qfx"
printf '<STMTTRN><NAME>LOOK-ALIKE\r\n' >"$d/Lódz.qfx"
run "$(windows_path "$d/Łódź.qfx")"
check "look-alike: Łódź.qfx converted, exit status 0" equals "$status" 0
check "look-alike: Łódź.qif holds Łódź.qfx's record" holds "$d/Łódź.qif" "$shop_qif"
check "look-alike: Lódz.qfx left alone" test ! -e "$d/Lódz.qif"
rm "$d/Łódź.qfx" "$d/Łódź.qif"
run "$(windows_path "$d/Łódź.qfx")"
check "look-alike: a missing Łódź.qfx is named in the error (UTF-8), not Lódz.qfx" \
  holds "$err" "Error 2: cannot open input file $(windows_path "$d/Łódź.qfx"): File not found$crlf"
check "look-alike: still nothing written for Lódz.qfx" test ! -e "$d/Lódz.qif"

# Windows path forms: "/" separates as "\" does; a drive-relative name lies
# in that drive's current folder.
d=$(case_dir slashes)
mkdir -p "$d/My Data"
printf '%s' "$shop_line" >"$d/My Data/stmt.qfx"
run "Z:$d/My Data/stmt.qfx"
check "forward slashes: exit status 0, no message" eval '[ "$status" = 0 ] && holds "$err" ""'
check "forward slashes: output beside the input" holds "$d/My Data/stmt.qif" "$shop_qif"
run "Z:$d/My Data/gone.qfx"
check "forward slashes: an error keeps the path as written" holds "$err" \
  "Error 2: cannot open input file Z:$d/My Data/gone.qfx: File not found$crlf"

d=$(case_dir drive-relative)
printf '%s' "$shop_line" >"$d/stmt.qfx"
run -C "$d" "Z:stmt.qfx"
check "drive-relative Z:stmt.qfx: exit status 0" equals "$status" 0
check "drive-relative Z:stmt.qfx: Z:stmt.qif in the current folder, no file named Z:stmt.qif" \
  eval 'holds "$d/stmt.qif" "$shop_qif" && equals "$(files_in "$d")" "./stmt.qfx ./stmt.qif "'
run -C "$d" "Z:gone.qfx"
check "drive-relative: an error names Z:gone.qfx" holds "$err" \
  "Error 2: cannot open input file Z:gone.qfx: File not found$crlf"

d=$(case_dir folder-input)
mkdir "$d/folder.qfx"
run "$(windows_path "$d/folder.qfx")"
check "folder as input: exit status 2" equals "$status" 2
check "folder as input: Error 3, as on Linux" holds "$err" \
  "Error 3: cannot read input file $(windows_path "$d/folder.qfx"): Is a directory$crlf"

d=$(case_dir failed-lines)
printf '%s<STMTTRN><NAME>X\r\n<STMTTRN>\n' "$shop_line" >"$d/stmt.qfx"
run "$(windows_path "$d/stmt.qfx")"
check "failed lines: exit status 1" equals "$status" 1
check "failed lines: message on standard error" \
  holds "$err" "Failed to read 2 lines of data from QFX file.$crlf"
check "failed lines: output holds the good record" holds "$d/stmt.qif" "$shop_qif"

# Through a pipe, as a script reading the messages gets them.
piped="$( (cd "$work" && timeout 60 wine "$exe" "$(windows_path "$d/stmt.qfx")" 2>&1 >/dev/null) | od -c)"
check "failed lines: the message also reaches a pipe" \
  equals "$piped" "$(printf 'Failed to read 2 lines of data from QFX file.\r\n' | od -c)"

d=$(case_dir several)
printf '%s' "$shop_line" >"$d/a b.qfx"
printf '%s' "$shop_line" >"$d/c.qfx"
printf '%s<STMTTRN>\r\n' "$shop_line" >"$d/💸 bad.qfx"
# Several files dropped at once on the icon arrive as one command line, the
# paths with blanks quoted (Wine quotes them as Explorer does); with its
# quotes removed it names no file, so each argument is converted.
run "$(windows_path "$d/a b.qfx")" "$(windows_path "$d/c.qfx")" \
  "$(windows_path "$d/gone away.qfx")" "$(windows_path "$d/💸 bad.qfx")"
check "several files on one command line: exit status 2 (the worst)" equals "$status" 2
check "several files on one command line: each converted beside itself" \
  eval 'holds "$d/a b.qif" "$shop_qif" && holds "$d/c.qif" "$shop_qif" &&
        holds "$d/💸 bad.qif" "$shop_qif"'
check "several files on one command line: one line per file that had something to say" \
  holds "$err" "$(windows_path "$d/gone away.qfx"): Error 2: cannot open input file $(windows_path "$d/gone away.qfx"): File not found$crlf$(windows_path "$d/💸 bad.qfx"): Failed to read 1 lines of data from QFX file.$crlf"
run "$(windows_path "$d/a b.qfx")" "$(windows_path "$d/c.qfx")"
check "several files, all converted: exit status 0, no message" \
  eval '[ "$status" = 0 ] && holds "$err" ""'

# `ledgerlift.exe "%FILE%"` with an empty FILE fails, so a script notices.
run ""
check "an explicit empty argument: exit status 2" equals "$status" 2
check "an explicit empty argument: Input File Name is missing." \
  holds "$err" "Input File Name is missing.$crlf"

d=$(case_dir missing)
printf 'precious' >"$d/stmt.qif"
run "$(windows_path "$d/stmt.qfx")"
check "missing input: exit status 2" equals "$status" 2
check "missing input: message names the path and the reason" holds "$err" \
  "Error 2: cannot open input file $(windows_path "$d/stmt.qfx"): File not found$crlf"
check "missing input: existing output untouched" holds "$d/stmt.qif" precious
check "missing input: nothing left behind" equals "$(files_in "$d")" "./stmt.qif "

d=$(case_dir folder-in-the-way)
printf '%s' "$shop_line" >"$d/stmt.qfx"
mkdir "$d/stmt.qif"
run "$(windows_path "$d/stmt.qfx")"
check "folder in the way of the output: exit status 2" equals "$status" 2
check "folder in the way of the output: one line naming the output" holds "$err" \
  "Error 6: cannot replace output file $(windows_path "$d/stmt.qif"): Is a directory$crlf"
check "folder in the way of the output: no temporary file left" \
  equals "$(files_in "$d")" "./stmt.qfx ./stmt.qif "

echo "== Replacing a register under Wine"
precious='an earlier register'
d=$(case_dir replace)
printf '%s' "$shop_line" >"$d/stmt.qfx"
printf '%s' "$precious" >"$d/stmt.qif"
# Left by a run a power cut ended: not ours, so the new temporary file is
# created beside it (CREATE_NEW) and it is kept.
printf 'left behind' >"$d/.ledgerlift-Ab12Cd.tmp"
run "$(windows_path "$d/stmt.qfx")"
check "existing register: exit status 0" equals "$status" 0
check "existing register: replaced by the new one" holds "$d/stmt.qif" "$shop_qif"
check "existing register: a leftover temporary file is kept as it was" \
  holds "$d/.ledgerlift-Ab12Cd.tmp" "left behind"
check "existing register: no temporary file of its own left" \
  equals "$(files_in "$d")" "./.ledgerlift-Ab12Cd.tmp ./stmt.qfx ./stmt.qif "

d=$(case_dir linked)
mkdir "$d/books"
printf '%s' "$shop_line" >"$d/stmt.qfx"
printf '%s' "$precious" >"$d/books/stmt.qif"
ln -s books/stmt.qif "$d/stmt.qif"
run "$(windows_path "$d/stmt.qfx")"
check "register behind a link: exit status 0" equals "$status" 0
check "register behind a link: the link stays" equals "$(readlink "$d/stmt.qif")" books/stmt.qif
check "register behind a link: the register it names is replaced" \
  holds "$d/books/stmt.qif" "$shop_qif"
check "register behind a link: no temporary file left" \
  equals "$(files_in "$d")" "./books ./books/stmt.qif ./stmt.qfx ./stmt.qif "

d=$(case_dir read-only)
printf '%s' "$shop_line" >"$d/stmt.qfx"
printf '%s' "$precious" >"$d/stmt.qif"
wine attrib +r "$(windows_path "$d/stmt.qif")" >/dev/null 2>&1 </dev/null
run "$(windows_path "$d/stmt.qfx")"
check "read-only attribute: exit status 2" equals "$status" 2
check "read-only attribute: the register is not replaced" holds "$err" \
  "Error 6: cannot replace output file $(windows_path "$d/stmt.qif"): the file is read-only$crlf"
check "read-only attribute: register untouched" holds "$d/stmt.qif" "$precious"
check "read-only attribute: nothing left behind" equals "$(files_in "$d")" "./stmt.qfx ./stmt.qif "

# The output would be the statement itself: by its name, by another letter
# case of it (Windows names ignore case), or by a second name (hard link).
d=$(case_dir same-file)
printf '%s' "$shop_line" >"$d/x.qif"
printf '%s' "$shop_line" >"$d/STMT.QIF"
printf '%s' "$shop_line" >"$d/linked.qfx"
ln "$d/linked.qfx" "$d/linked.qif"
for input in x.qif STMT.QIF linked.qfx; do
  run "$(windows_path "$d/$input")"
  check "output that is the statement ($input): exit status 2" equals "$status" 2
  check "output that is the statement ($input): refused" holds "$err" \
    "Error 8: cannot convert $(windows_path "$d/$input"): the QIF file would replace the statement itself$crlf"
done
check "output that is the statement: every statement untouched" eval \
  'holds "$d/x.qif" "$shop_line" && holds "$d/STMT.QIF" "$shop_line" && holds "$d/linked.qif" "$shop_line"'
check "output that is the statement: nothing left behind" \
  equals "$(files_in "$d")" "./STMT.QIF ./linked.qfx ./linked.qif ./x.qif "

d=$(case_dir leading-dot)
printf '%s' "$shop_line" >"$d/.statement"
printf '%s' "$shop_line" >"$d/.stmt.qfx"
run "$(windows_path "$d/.statement")"
check "leading dot starts no extension: .statement gives .statement.qif" \
  holds "$d/.statement.qif" "$shop_qif"
run "$(windows_path "$d/.stmt.qfx")"
check "leading dot, then an extension: .stmt.qfx gives .stmt.qif" holds "$d/.stmt.qif" "$shop_qif"

# Held in the middle of a run by a statement arriving through a named pipe,
# then ended from outside as Task Manager ends a program: the temporary file,
# marked for deletion while it is written, goes with the process.
d=$(case_dir ended)
mkfifo "$d/stmt.qfx"
printf '%s' "$precious" >"$d/stmt.qif"
(cd "$work" && exec wine "$exe" "$(windows_path "$d/stmt.qfx")" >/dev/null 2>"$err") &
held_pid=$!  # the program itself: wine becomes it
exec 4<>"$d/stmt.qfx"  # read-write: a named pipe opened so never waits
printf '%s' "$shop_line" >&4
for _ in $(seq 100); do [ -n "$(find "$d" -name '.ledgerlift-*.tmp')" ] && break; sleep 0.1; done
check "during a run: one temporary file named .ledgerlift-XXXXXX.tmp beside the register" \
  eval '[ "$(find "$d" -name ".ledgerlift-*.tmp" | grep -cE "/\.ledgerlift-[A-Za-z0-9]{6}\.tmp$")" = 1 ]'
kill -KILL "$held_pid"
{ wait "$held_pid"; } 2>/dev/null
exec 4>&-
for _ in $(seq 50); do [ -z "$(find "$d" -name '.ledgerlift-*.tmp')" ] && break; sleep 0.1; done
check "program ended from outside: its temporary file is gone" \
  equals "$(files_in "$d")" "./stmt.qfx ./stmt.qif "
check "program ended from outside: register untouched" holds "$d/stmt.qif" "$precious"

# --- The window, under Xvfb -----------------------------------------------------
echo "== The window under Xvfb"

# A stand-in browser: Wine hands web addresses to xdg-open.
mkdir -p "$work/bin"
printf '#!/bin/sh\nprintf "%%s" "$*" >"%s/.opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"

# find_window TITLE: the id of the visible window of that exact title.
find_window() {
  timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -1
}
# gone TITLE: waits until no visible window has that title (a dialog closed).
gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  false
}
# press WINDOW KEY...: keys for a Wine window; without a window manager they
# go to the window under the pointer.
press() {
  local target="$1"
  shift
  sleep 0.3
  xdotool mousemove --window "$target" 5 5 key "$@"
}
# box_says TEXT: the shown message box captioned "Ledgerlift" says exactly
# TEXT (lines separated by newlines), read by a Windows helper.
box_says() {
  local said
  said="$(wine "$work/dialog-text.exe" read 2>/dev/null)"
  equals "$said" "$1"
}
# choose_file FILE: in the open-file dialog, enters FILE's Windows path and
# opens it. ASCII is typed; other letters, which X cannot type reliably
# (each needs a key remapped), are put into the file name box by a helper.
choose_file() {
  local chooser path
  chooser=$(find_window "Open")
  [ -n "$chooser" ] || return 1
  path="$(windows_path "$1")"
  if LC_ALL=C grep -q '^[ -~]*$' <<<"$path"; then
    press "$chooser" ctrl+a
    xdotool type --delay 20 "$path"
  else
    wine "$work/dialog-text.exe" put Open "$path" >/dev/null 2>&1 || return 1
    sleep 0.3
    xdotool mousemove --window "$chooser" 5 5
  fi
  xdotool key Return
  gone "Open"
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
if ! x86_64-w64-mingw32-gcc -o "$work/dialog-text.exe" tests/gui/dialog-text.c -lshell32 \
  2>"$work/.cc"; then
  cat "$work/.cc"
  check "the dialog helper builds (mingw-w64)" false
fi

d=$(case_dir window)
printf '%s' "$shop_line" >"$d/into-c.qfx"
printf '%s<STMTTRN><NAME>X\r\n' "$shop_line" >"$d/into-desktop.qfx"
drive_c="$WINEPREFIX/drive_c"
rm -f "$drive_c/into-c.qif" "$HOME/into-desktop.qif"

# Standard error goes to a file: the window shows its messages all the same.
PATH="$work/bin:$PATH" timeout 120 wine "$exe" >/dev/null 2>"$work/window.err" </dev/null &
window_pid=$!
window=$(find_window "Ledgerlift Converter")
check "window mode: the window appears with its caption" test -n "$window"
if [ -n "$window" ]; then
  sleep 0.5
  mkdir -p docs
  import -window "$window" -strip -define png:exclude-chunks=date,time \
    docs/screenshot-windows.png
  check "window mode: screenshot kept in docs/screenshot-windows.png" \
    test -s docs/screenshot-windows.png

  # The client area is 349 x 225 pixels at 96 DPI inside Wine's own frame,
  # as wide on the left, right and bottom; Label5 is at (208, 200).
  eval "$(xdotool getwindowgeometry --shell "$window")"
  check "window mode: 349 x 225 client area at 96 DPI (357 x 252 with Wine's frame)" \
    equals "${WIDTH}x$HEIGHT" 357x252
  border=$(((WIDTH - 349) / 2))
  top=$((HEIGHT - 225 - border))
  xdotool mousemove --window "$window" $((border + 218)) $((top + 208)) click 1
  for _ in $(seq 100); do [ -s "$work/.opened" ] && break; sleep 0.1; done
  check "Label5: a click opens the address in the browser" \
    equals "$(cat "$work/.opened" 2>/dev/null)" "https://tessarine.com/"

  # The buttons lie outside the visible area; the keyboard reaches them.
  # Focus starts on InputSelect (tab index 0); Tab moves to OutPutSelect.
  press "$window" Tab space
  browser=$(find_window "Browse for Folder")
  check "OutPutSelect: the folder browser opens" test -n "$browser"
  [ -n "$browser" ] && press "$browser" Escape && gone "Browse for Folder"
  press "$window" shift+Tab space
  chooser=$(find_window "Open")
  check "InputSelect: the open-file dialog opens" test -n "$chooser"
  if [ -n "$chooser" ]; then
    press "$chooser" ctrl+a
    xdotool type --delay 20 "$(windows_path "$d/into-c.qfx")"
    xdotool key Return
    gone "Open"
  fi
  for _ in $(seq 50); do [ -s "$drive_c/into-c.qif" ] && break; sleep 0.1; done
  check "InputSelect after a cancelled browser: written into C:\\" \
    holds "$drive_c/into-c.qif" "$shop_qif"

  # The browser opens on the Desktop; Return chooses it.
  press "$window" Tab space
  browser=$(find_window "Browse for Folder")
  [ -n "$browser" ] && press "$browser" Return && gone "Browse for Folder"
  press "$window" shift+Tab space
  choose_file "$d/into-desktop.qfx"
  box=$(find_window "Ledgerlift")
  check "InputSelect: a failed line shows the message box, standard error redirected" \
    test -n "$box"
  check "InputSelect: one file's message as it stands" \
    box_says "Failed to read 1 lines of data from QFX file."
  [ -n "$box" ] && press "$box" Return && gone "Ledgerlift"
  check "OutPutSelect: the chosen folder (Desktop) receives the output" \
    holds "$HOME/into-desktop.qif" "$shop_qif"
  sleep 0.3
  check "window mode: the window stays open after a message" \
    test -n "$(xdotool search --onlyvisible --name '^Ledgerlift Converter$')"

  # Names no code page holds, entered in the open-file dialog.
  for name in "Łódź" "Пётр" "银行" "💸"; do
    printf '%s' "$shop_line" >"$d/$name.qfx"
    rm -f "$HOME/$name.qif"
    press "$window" space
    choose_file "$d/$name.qfx"
    for _ in $(seq 50); do [ -s "$HOME/$name.qif" ] && break; sleep 0.1; done
    check "open-file dialog: $name.qfx converted into the output folder" \
      holds "$HOME/$name.qif" "$shop_qif"
  done

  # Files dropped on the window (XDND, as a Linux file manager drops them
  # on a Wine window) are converted one by one into the output folder; one
  # message at the end names each file that had something to say.
  if g++ -o "$work/drop-files" tests/gui/drop-files.c -lX11 2>"$work/.cc"; then
    dropped=("dropped one" "dropped-bad" "Пётр выписка" "Łódź bad" "银行" "💸")
    uris=()
    for name in "${dropped[@]}"; do
      if [[ "$name" == *bad ]]; then
        printf '%s<STMTTRN>\r\n' "$shop_line" >"$d/$name.qfx"
      else
        printf '%s' "$shop_line" >"$d/$name.qfx"
      fi
      rm -f "$HOME/$name.qif"
      uris+=("$(file_uri "$d/$name.qfx")")
    done
    "$work/drop-files" "$window" "${uris[@]}"
    box=$(find_window "Ledgerlift")
    check "drop of six files: one message box" test -n "$box"
    check "drop of six files: it names each file with a failed line" box_says \
      "$(windows_path "$d/dropped-bad.qfx"): Failed to read 1 lines of data from QFX file.
$(windows_path "$d/Łódź bad.qfx"): Failed to read 1 lines of data from QFX file."
    [ -n "$box" ] && press "$box" Return && gone "Ledgerlift"
    check "drop of six files: no second message box" \
      eval '! xdotool search --onlyvisible --name "^Ledgerlift\$" >/dev/null 2>&1'
    for name in "${dropped[@]}"; do
      check "drop: $name.qfx converted into the output folder" \
        holds "$HOME/$name.qif" "$shop_qif"
    done
  else
    cat "$work/.cc"
    check "drop: the XDND helper builds (libx11-dev)" false
  fi
  press "$window" alt+F4
else
  kill "$window_pid" 2>/dev/null
fi
wait "$window_pid"
check "window mode: closing the window ends the program with status 0" equals "$?" 0
check "window mode: no message went to the redirected standard error" \
  eval '! grep -q "Failed to read" "$work/window.err"'

# The output-folder box emptied: each file goes beside itself, not to the
# root of the drive.
d=$(case_dir emptied-box)
printf '%s' "$shop_line" >"$d/beside.qfx"
rm -f "$drive_c/beside.qif"
timeout 60 wine "$exe" >/dev/null 2>&1 </dev/null &
window_pid=$!
window=$(find_window "Ledgerlift Converter")
if [ -n "$window" ] && [ -x "$work/drop-files" ]; then
  # Focus starts on InputSelect; Text1 is two Tab presses further.
  press "$window" Tab Tab Home shift+End Delete
  sleep 0.3
  "$work/drop-files" "$window" "file://$d/beside.qfx"
  for _ in $(seq 50); do [ -s "$d/beside.qif" ] && break; sleep 0.1; done
  press "$window" alt+F4
else
  kill "$window_pid" 2>/dev/null
fi
wait "$window_pid"
check "emptied output-folder box: the dropped file is converted beside itself" \
  holds "$d/beside.qif" "$shop_qif"
check "emptied output-folder box: nothing written to the root of C:" test ! -e "$drive_c/beside.qif"

# The same window at 144 DPI: every size scaled by 1.5 (Wine reads the
# setting when its server starts).
# set_dpi N|default
set_dpi() {
  if [ "$1" = default ]; then
    wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
  else
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f \
      >/dev/null 2>&1
  fi
  wineserver -k
  wineserver -w
  wineserver -p
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}
set_dpi 144
timeout 60 wine "$exe" >/dev/null 2>&1 </dev/null &
window_pid=$!
window=$(find_window "Ledgerlift Converter")
if [ -n "$window" ]; then
  sleep 0.5
  eval "$(xdotool getwindowgeometry --shell "$window")"
  press "$window" alt+F4
else
  WIDTH=0 HEIGHT=0
  kill "$window_pid" 2>/dev/null
fi
wait "$window_pid"
check "144 DPI: 524 x 338 client area (534 x 376 with Wine's frame)" equals "${WIDTH}x$HEIGHT" 534x376
set_dpi default  # 96

d=$(case_dir message-box)
printf '%s<STMTTRN><NAME>X\r\n' "$shop_line" >"$d/stmt.qfx"
# Standard error not redirected to a file or pipe: the message box shows.
timeout 120 wine "$exe" "$(windows_path "$d/stmt.qfx")" >/dev/null 2>&1 </dev/null &
box_pid=$!
# (stdout and stderr above are /dev/null: a character device, not a file)
box=$(timeout 30 xdotool search --sync --onlyvisible --name '^Ledgerlift$' | head -1)
check "message box: shown with the caption Ledgerlift" test -n "$box"
if [ -n "$box" ]; then
  sleep 0.3
  import -window root -strip "$work/message-box.png"
  xdotool mousemove --window "$box" 5 5 key Return
fi
wait "$box_pid"
check "message box: dismissed, the program ends with status 1" equals "$?" 1
check "message box: output written before the message" holds "$d/stmt.qif" "$shop_qif"

# Several files dropped on the icon, as Explorer starts the program: one box
# at the end names each file that had something to say.
printf '%s' "$shop_line" >"$d/Пётр.qfx"
timeout 120 wine "$exe" "$(windows_path "$d/stmt.qfx")" "$(windows_path "$d/Пётр.qfx")" \
  "$(windows_path "$d/gone.qfx")" >/dev/null 2>&1 </dev/null &
box_pid=$!
box=$(find_window "Ledgerlift")
check "icon drop of three files: one message box naming each file with a message" box_says \
  "$(windows_path "$d/stmt.qfx"): Failed to read 1 lines of data from QFX file.
$(windows_path "$d/gone.qfx"): Error 2: cannot open input file $(windows_path "$d/gone.qfx"): File not found"
[ -n "$box" ] && press "$box" Return
wait "$box_pid"
check "icon drop of three files: dismissed, the program ends with the worst status, 2" \
  equals "$?" 2
check "icon drop of three files: the others converted beside themselves" \
  holds "$d/Пётр.qif" "$shop_qif"

echo "Wine part: $(($(date +%s) - wine_started)) s"
finish
