# Conversion mode started from the desktop (its desktop entry sets
# LEDGERLIFT_FROM_DESKTOP=1): the message is a dialog, one for several files, fitted to
# the screen however long; started any other way (a terminal, a script, no
# display) it is a line on standard error.

test_desktop_start_shows_a_dialog() {
  failed_lines_file stmt.qfx
  start_program env LEDGERLIFT_FROM_DESKTOP=1 "$program" "$case_dir/stmt.qfx"
  local dialog
  dialog=$(find_window Ledgerlift)
  check "desktop start: the message is a dialog captioned 'Ledgerlift'" test -n "$dialog"
  check "desktop start: the dialog says exactly the failed-lines text" \
    logged 'message "Ledgerlift": Failed to read 2 lines of data from QFX file.'
  sleep 0.3
  press "$dialog" Return
  wait_program
  check "desktop start: OK ends the program with status 1" is "$status" 1
  check "desktop start: the QIF file is written" test -f stmt.qif
  check "desktop start: nothing on standard error" is_empty_file err
}

# Several files selected in a file manager and opened together: one process,
# one dialog at the end naming each file that had something to say.
test_desktop_start_with_three_files() {
  cp "$root/examples/statement.qfx" "several good.qfx"
  failed_lines_file "several bad.qfx"
  start_program env LEDGERLIFT_FROM_DESKTOP=1 "$program" "$case_dir/several good.qfx" "$case_dir/several bad.qfx" \
    "$case_dir/gone.qfx"
  local dialog
  dialog=$(find_window Ledgerlift)
  check "desktop start with three files: a dialog" test -n "$dialog"
  check "desktop start with three files: exactly one dialog" is "$(window_count Ledgerlift)" 1
  check "desktop start with three files: the dialog names the file with failed lines" \
    logged "message \"Ledgerlift\": $case_dir/several bad.qfx: Failed to read 2 lines of data from QFX file."
  check "desktop start with three files: ... and the missing one, on its own line" \
    logged "$case_dir/gone.qfx: Error 2: cannot open input file $case_dir/gone.qfx: No such file or directory"
  sleep 0.3
  press "$dialog" Return
  wait_program
  check "desktop start with three files: OK ends the program with the worst status, 2" is "$status" 2
  check "desktop start with three files: the others are converted beside themselves" \
    test -f "several good.qif" -a -f "several bad.qif"
  check "desktop start with three files: one dialog only (none left after OK)" \
    is "$(grep -c '^message ' "$LEDGERLIFT_GTK_LOG")" 1
}

# A path longer than the screen is wide, and a run of many files whose
# message is taller than the screen: the dialog stays on the screen, so its
# OK button can be reached.
test_long_messages_fit_the_screen() {
  local folder names=() i dialog
  folder="$case_dir/$(printf 'a-folder-name-without-any-blank-%.0s' $(seq 7))"
  start_program env LEDGERLIFT_FROM_DESKTOP=1 "$program" "$folder/stmt.qfx"
  dialog=$(find_window Ledgerlift)
  check "a path wider than the screen: the dialog fits on the screen" fits_on_screen "$dialog"
  check "  ... and shows the whole path" \
    logged "message \"Ledgerlift\": Error 2: cannot open input file $folder/stmt.qfx: No such file or directory"
  press "$dialog" Return
  wait_program
  check "  ... OK ends the program with status 2" is "$status" 2
  for i in $(seq 60); do names+=("$case_dir/missing statement $i.qfx"); done
  start_program env LEDGERLIFT_FROM_DESKTOP=1 "$program" "${names[@]}"
  dialog=$(find_window Ledgerlift)
  check "60 missing files: the dialog fits on the screen" fits_on_screen "$dialog"
  press "$dialog" Return
  wait_program
  check "  ... OK ends the program with status 2" is "$status" 2
}

test_clean_conversion_never_loads_gtk() {
  cp "$root/examples/statement.qfx" clean.qfx
  start_program env LD_DEBUG=files LEDGERLIFT_FROM_DESKTOP=1 "$program" "$case_dir/clean.qfx"
  wait_program
  check "desktop start of a clean file: status 0, GTK never loaded" \
    eval '[ "$status" = 0 ] && ! grep -q "ledgerlift-gtk\|libgtk" err'
}

# A script in a desktop session (cron, a service, an IDE task): a display,
# no terminal, not started by the desktop entry. No dialog waits for a click; the message
# is in the log at once.
test_script_with_a_display_never_waits_on_a_dialog() {
  failed_lines_file stmt.qfx
  start_program "$program" "$case_dir/stmt.qfx"
  wait_program 5
  check "script with a display: ends at once with status 1, no dialog" is "$status" 1
  check "  ... its message on standard error" \
    is "$(cat err)" "$failed_lines_said"
  check "  ... GTK never loaded (no dialog was shown)" is_empty_file "$LEDGERLIFT_GTK_LOG"
}

# `ledgerlift *` in a folder holding a file named like the old desktop
# option: that name is a file, and no dialog waits.
test_a_file_named_like_an_option_turns_on_no_dialog() {
  failed_lines_file stmt.qfx
  : >--from-desktop
  start_program "$program" --from-desktop stmt.qfx
  wait_program 5
  check "a file named --from-desktop: ends at once with status 2, no dialog" is "$status" 2
  check "  ... it is converted as a file (it is empty)" grep -q "^--from-desktop: Error 9" err
  check "  ... GTK never loaded" is_empty_file "$LEDGERLIFT_GTK_LOG"
}

test_a_reader_gone_away_ends_nothing_early() {
  failed_lines_file stmt.qfx
  # The program starts once the reader has gone.
  { sleep 0.3; "$program" stmt.qfx; } 2>&1 | true
  check "message into a pipe nobody reads: the run's own status, 1" is "${PIPESTATUS[0]}" 1
  check "  ... and the register is written" test -s stmt.qif
  { sleep 0.3; "$program" --help 2>/dev/null; } | true
  check "--help into a pipe nobody reads: status 2" is "${PIPESTATUS[0]}" 2
}

# The terminal is script's own. Its input is /dev/null, not the terminal the
# suite may run in: timeout starts script in a process group of its own, in
# the background of that terminal, which stops it (SIGTTOU) when it sets the
# terminal's modes, as script does to a terminal on its standard input.
test_terminal_start_writes_to_the_terminal() {
  failed_lines_file stmt.qfx
  timeout 10 script -qec "'$program' '$case_dir/stmt.qfx'" /dev/null </dev/null >./tty 2>&1
  check "terminal start with a display: message on the terminal, no dialog" \
    grep -q "Failed to read 2 lines of data from QFX file." tty
}

test_no_display_prints_the_help() {
  start_program env -u DISPLAY "$program"
  wait_program
  check "no display: window mode exits 0" is "$status" 0
  check "no display: window mode prints the help instead" grep -q "Usage: ledgerlift FILE.qfx" out
}
