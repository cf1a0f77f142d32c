# Files dropped on the window (XDND, as a file manager drops them): each is
# converted into Text1's folder, one message at the end.

test_drop_of_two_files() {
  mkdir in
  cp "$root/examples/statement.qfx" "in/good one.qfx"
  failed_lines_file in/bad.qfx
  open_window
  check "the window takes a drop of two files" \
    "$work/bin/drop-files" "$w" "file://$case_dir/in/good%20one.qfx" "file://$case_dir/in/bad.qfx"
  check "two files dropped: one dialog naming the file with failed lines" \
    logged "message \"Ledgerlift\": $case_dir/in/bad.qfx: Failed to read 2 lines of data from QFX file."
  press "$(find_window Ledgerlift)" Return
  gone Ledgerlift
  check "both dropped files converted into Text1's folder" \
    test -f "$HOME/good one.qif" -a -f "$HOME/bad.qif"
  check "the converted drop equals the shipped example's QIF" \
    same_bytes "$HOME/good one.qif" "$root/examples/statement.qif"
  close_window "$w"
  wait_program
  check "window ends with status 0 after the drop" is "$status" 0
}

# The output-folder box emptied: a dropped file goes beside itself, not to
# the root folder.
test_drop_with_the_output_folder_box_emptied() {
  mkdir in
  cp "$root/examples/statement.qfx" in/beside.qfx
  open_window
  press "$w" Tab Tab ctrl+a Delete  # InputSelect, OutPutSelect, then Text1
  "$work/bin/drop-files" "$w" "file://$case_dir/in/beside.qfx"
  wait_for_file in/beside.qif
  check "emptied output-folder box: the dropped file is converted beside itself" \
    same_bytes in/beside.qif "$root/examples/statement.qif"
  check "emptied output-folder box: nothing written to the root folder" test ! -e /beside.qif
  close_window "$w"
  check "emptied output-folder box: Text1 is empty" logged "window closed, Text1: "
  wait_program
}

# Two statements of one name from different folders lead to one register
# in Text1's folder: the first one's is kept, the second refused.
test_drop_of_two_statements_for_one_register() {
  mkdir in1 in2
  cp "$root/examples/statement.qfx" in1/stmt.qfx
  printf '<OFX></OFX>' >in2/stmt.qfx
  open_window
  "$work/bin/drop-files" "$w" "file://$case_dir/in1/stmt.qfx" "file://$case_dir/in2/stmt.qfx"
  check "two drops for one register: the second is refused, naming the first" \
    logged "message \"Ledgerlift\": $case_dir/in2/stmt.qfx: Error 10: cannot convert $case_dir/in2/stmt.qfx: its QIF file $HOME/stmt.qif was written from $case_dir/in1/stmt.qfx in this run"
  press "$(find_window Ledgerlift)" Return
  gone Ledgerlift
  check "two drops for one register: the first one's register is kept" \
    same_bytes "$HOME/stmt.qif" "$root/examples/statement.qif"
  close_window "$w"
  wait_program
}

# A drop while a message of the window is open is refused: dialogs never
# stack, and the file dropped then is not converted.
test_drop_while_a_message_is_open() {
  local said='message "Ledgerlift": Failed to read 2 lines of data from QFX file.'
  failed_lines_file first.qfx
  failed_lines_file second.qfx
  open_window
  "$work/bin/drop-files" "$w" "file://$case_dir/first.qfx"
  logged "$said"
  "$work/bin/drop-files" "$w" "file://$case_dir/second.qfx"
  sleep 1
  check "a drop while a message is open: still one message" \
    is "$(grep -c '^message ' "$LEDGERLIFT_GTK_LOG")" 1
  check "  ... and the file dropped then is not converted" test ! -e "$HOME/second.qif"
  # The newest "Ledgerlift" window is the message (GTK names a hidden one so).
  press "$(xdotool search --onlyvisible --name '^Ledgerlift$' | tail -1)" Return
  sleep 0.5
  "$work/bin/drop-files" "$w" "file://$case_dir/second.qfx"
  check "  ... once it is closed, a drop converts again" wait_for_file "$HOME/second.qif"
  press "$(xdotool search --onlyvisible --name '^Ledgerlift$' | tail -1)" Return
  close_window "$w"
  wait_program
}
