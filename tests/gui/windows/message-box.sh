# A conversion whose standard error is not redirected to a file or pipe (a
# double-click, a drop on the icon): the message is a message box.

test_message_box() {
  printf '%s<STMTTRN><NAME>X\r\n' "$shop_line" >stmt.qfx
  # (standard output and error are /dev/null: a character device)
  start_exe "$(windows_path "$case_dir/stmt.qfx")"
  local box
  box=$(find_window Ledgerlift)
  check "message box: shown with the caption Ledgerlift" test -n "$box"
  [ -n "$box" ] && press "$box" Return
  wait_program 30
  check "message box: dismissed, the program ends with status 1" is "$status" 1
  check "message box: output written before the message" holds stmt.qif "$shop_qif"
}

# Several files dropped on the icon, as Explorer starts the program: one box
# at the end names each file that had something to say.
test_icon_drop_of_three_files() {
  printf '%s<STMTTRN><NAME>X\r\n' "$shop_line" >stmt.qfx
  printf '%s' "$shop_line" >Пётр.qfx
  start_exe "$(windows_path "$case_dir/stmt.qfx")" "$(windows_path "$case_dir/Пётр.qfx")" \
    "$(windows_path "$case_dir/gone.qfx")"
  local box
  box=$(find_window Ledgerlift)
  check "icon drop of three files: one message box naming each file with a message" box_says \
    "$(windows_path "$case_dir/stmt.qfx"): Failed to read 1 lines of data from QFX file.
$(windows_path "$case_dir/gone.qfx"): Error 2: cannot open input file $(windows_path "$case_dir/gone.qfx"): File not found"
  [ -n "$box" ] && press "$box" Return
  wait_program 30
  check "icon drop of three files: dismissed, the program ends with the worst status, 2" \
    is "$status" 2
  check "icon drop of three files: the others converted beside themselves" \
    holds Пётр.qif "$shop_qif"
}
