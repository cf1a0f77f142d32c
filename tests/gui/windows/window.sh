# The window under Wine and Xvfb: its size and screenshot, the link label,
# the buttons (reached with the keyboard: they lie outside the visible
# area) with the folder browser and the open-file dialog, and files dropped
# on it. Wine draws its own frame: the client area starts 4 pixels in from
# the left and 23 from the top.

frame_left=4 frame_top=23

# open_window: starts the program in window mode; the window's id is $w.
open_window() {
  start_exe
  w=$(find_window "Ledgerlift Converter")
}

# close_and_wait: closes the window and checks that the program ends with 0.
close_and_wait() {
  if [ -n "$w" ]; then close_window "$w"; fi
  wait_program 30
  check "closing the window ends the program with status 0" is "$status" 0
}

# output_folder_here: types the case's folder into Text1, two Tab presses
# from InputSelect, where the focus starts, and goes back there.
output_folder_here() {
  press "$w" Tab Tab Home shift+End
  xdotool type --delay 20 "$(windows_path "$case_dir")"
  press "$w" shift+Tab shift+Tab
}

test_window_at_its_designed_size() {
  open_window
  check "window mode: the window appears with its caption" test -n "$w"
  [ -n "$w" ] || return
  sleep 0.5
  screenshot "$w" "$screenshots/screenshot-windows.png"
  check "window mode: screenshot taken" test -s "$screenshots/screenshot-windows.png"
  check "window mode: 349 x 225 client area at 96 DPI (357 x 252 with Wine's frame)" \
    is "$(window_size "$w")" 357x252
  close_and_wait
}

# Label5 lies at (208, 200) in the client area, 129 x 17 pixels.
test_link_label() {
  local x=$((frame_left + 208)) y=$((frame_top + 200))
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  check "Label5 is drawn in a link's colour, underlined" looks_like_link "$w" "$x" "$y" 129 17
  check "the pointer over Label5 is a hand" is "$(cursor_over "$w" $((x + 22)) $((y + 7)))" hand2
  check "  ... and not over Label4" \
    eval '[ "$(cursor_over "$w" $((x + 22)) $((y - 10)))" != hand2 ]'
  xdotool mousemove --window "$w" $((x + 10)) $((y + 8)) click 1
  wait_for_file opened 10
  check "Label5: a click opens the address in the browser" \
    is "$(cat opened 2>/dev/null)" "https://tessarine.com/"
  close_and_wait
}

# Focus starts on InputSelect (tab index 0); Tab moves to OutPutSelect.
# Text1 starts as C:\.
test_buttons_open_the_browser_and_the_open_file_dialog() {
  printf '%s' "$shop_line" >into-c.qfx
  rm -f "$drive_c/into-c.qif"
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  press "$w" Tab space
  local browser chooser
  browser=$(find_window "Browse for Folder")
  check "OutPutSelect: the folder browser opens" test -n "$browser"
  [ -n "$browser" ] && press "$browser" Escape && gone "Browse for Folder"
  press "$w" shift+Tab space
  chooser=$(find_window "Convert QFX")
  check "InputSelect: the open-file dialog opens, titled 'Convert QFX'" test -n "$chooser"
  [ -n "$chooser" ] && choose_file "$case_dir/into-c.qfx"
  wait_for_file "$drive_c/into-c.qif"
  check "InputSelect after a cancelled browser: written into C:\\" \
    holds "$drive_c/into-c.qif" "$shop_qif"
  rm -f "$drive_c/into-c.qif"
  close_and_wait
}

# The browser opens on the Desktop (Wine's is the home folder); Return
# chooses it. Standard error goes to a file: the window shows its messages
# all the same.
test_chosen_folder_receives_the_output() {
  printf '%s<STMTTRN><NAME>X\r\n' "$shop_line" >into-desktop.qfx
  rm -f "$HOME/into-desktop.qif"
  start_exe --stderr window.err
  w=$(find_window "Ledgerlift Converter")
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  press "$w" Tab space
  local browser box
  browser=$(find_window "Browse for Folder")
  [ -n "$browser" ] && press "$browser" Return && gone "Browse for Folder"
  press "$w" shift+Tab space
  choose_file "$case_dir/into-desktop.qfx"
  box=$(find_window Ledgerlift)
  check "InputSelect: a failed line shows the message box, standard error redirected" \
    test -n "$box"
  check "InputSelect: one file's message as it stands" \
    box_says "Failed to read 1 lines of data from QFX file."
  [ -n "$box" ] && press "$box" Return && gone Ledgerlift
  check "OutPutSelect: the chosen folder (Desktop) receives the output" \
    holds "$HOME/into-desktop.qif" "$shop_qif"
  rm -f "$HOME/into-desktop.qif"
  sleep 0.3
  check "window mode: the window stays open after a message" \
    test "$(window_count "Ledgerlift Converter")" = 1
  close_and_wait
  check "window mode: no message went to the redirected standard error" \
    eval '! grep -q "Failed to read" window.err'
}

# Names no code page holds, entered in the open-file dialog.
test_open_file_dialog_takes_any_name() {
  local name
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  output_folder_here
  for name in "Łódź" "Пётр" "银行" "💸"; do
    mkdir -p in
    printf '%s' "$shop_line" >"in/$name.qfx"
    press "$w" space
    choose_file "$case_dir/in/$name.qfx"
    wait_for_file "$name.qif"
    check "open-file dialog: $name.qfx converted into the output folder" \
      holds "$name.qif" "$shop_qif"
  done
  close_and_wait
}

# Files dropped on the window (XDND, as a Linux file manager drops them on
# a Wine window) are converted one by one into the output folder; one
# message at the end names each file that had something to say.
test_drop_of_six_files() {
  local dropped=("dropped one" "dropped-bad" "Пётр выписка" "Łódź bad" "银行" "💸")
  local uris=() name box
  mkdir in
  for name in "${dropped[@]}"; do
    if [[ "$name" == *bad ]]; then
      printf '%s<STMTTRN>\r\n' "$shop_line" >"in/$name.qfx"
    else
      printf '%s' "$shop_line" >"in/$name.qfx"
    fi
    uris+=("$(file_uri "$case_dir/in/$name.qfx")")
  done
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  output_folder_here
  "$work/bin/drop-files" "$w" "${uris[@]}"
  box=$(find_window Ledgerlift)
  check "drop of six files: one message box" test -n "$box"
  check "drop of six files: it names each file with a failed line" box_says \
    "$(windows_path "$case_dir/in/dropped-bad.qfx"): Failed to read 1 lines of data from QFX file.
$(windows_path "$case_dir/in/Łódź bad.qfx"): Failed to read 1 lines of data from QFX file."
  [ -n "$box" ] && press "$box" Return && gone Ledgerlift
  check "drop of six files: no second message box" is "$(window_count Ledgerlift)" 0
  for name in "${dropped[@]}"; do
    check "drop: $name.qfx converted into the output folder" holds "$name.qif" "$shop_qif"
  done
  close_and_wait
}

# Two statements dropped together whose registers are one file (the same
# name in another letter case): the first one's is kept, the second refused.
test_drop_of_two_statements_for_one_register() {
  local box
  mkdir in1 in2
  printf '%s' "$shop_line" >in1/STMT.QFX
  printf '<OFX></OFX>' >in2/stmt.qfx
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  output_folder_here
  "$work/bin/drop-files" "$w" "file://$case_dir/in1/STMT.QFX" "file://$case_dir/in2/stmt.qfx"
  box=$(find_window Ledgerlift)
  check "two drops for one register: the second is refused, naming the first" box_says \
    "$(windows_path "$case_dir/in2/stmt.qfx"): Error 10: cannot convert $(windows_path "$case_dir/in2/stmt.qfx"): its QIF file $(windows_path "$case_dir")\\stmt.qif was written from $(windows_path "$case_dir/in1/STMT.QFX") in this run"
  [ -n "$box" ] && press "$box" Return && gone Ledgerlift
  check "two drops for one register: the first one's register is kept" \
    holds STMT.qif "$shop_qif"
  close_and_wait
}

# A drop while the window's message box is open is refused: boxes never
# stack, and the file dropped then is not converted.
test_drop_while_a_message_box_is_open() {
  printf '%s<STMTTRN>\r\n' "$shop_line" >first.qfx
  printf '%s<STMTTRN>\r\n' "$shop_line" >second.qfx
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  output_folder_here
  "$work/bin/drop-files" "$w" "$(file_uri "$case_dir/first.qfx")"
  local box
  box=$(find_window Ledgerlift)
  "$work/bin/drop-files" "$w" "$(file_uri "$case_dir/second.qfx")"
  sleep 2
  check "a drop while a message box is open: still one box" is "$(window_count Ledgerlift)" 1
  check "  ... and the file dropped then is not converted" test ! -e second.qif
  [ -n "$box" ] && press "$box" Return && gone Ledgerlift
  close_and_wait
}

# The output-folder box emptied: each file goes beside itself, not to the
# root of the drive.
test_drop_with_the_output_folder_box_emptied() {
  mkdir in
  printf '%s' "$shop_line" >in/beside.qfx
  rm -f "$drive_c/beside.qif"
  open_window
  [ -n "$w" ] || { check "window mode: the window appears" false; return; }
  press "$w" Tab Tab Home shift+End Delete
  sleep 0.3
  "$work/bin/drop-files" "$w" "file://$case_dir/in/beside.qfx"
  wait_for_file in/beside.qif
  check "emptied output-folder box: the dropped file is converted beside itself" \
    holds in/beside.qif "$shop_qif"
  check "emptied output-folder box: nothing written to the root of C:" \
    test ! -e "$drive_c/beside.qif"
  close_and_wait
}
