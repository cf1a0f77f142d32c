# The folder chooser ("Set Output Dir") and the open-file dialog ("Convert
# QFX"), reached with the keyboard: the buttons lie outside the visible area.

# Tab order: InputSelect has the focus, Tab reaches OutPutSelect.
test_folder_chooser_cancelled() {
  open_window
  press "$w" Tab Return
  local chooser
  chooser=$(find_window "Choose the folder the QIF files are written to")
  check "Tab reaches 'Set Output Dir', which opens the folder chooser" test -n "$chooser"
  press "$chooser" Escape
  check "folder chooser cancelled with Escape" logged "folder chooser: cancelled"
  close_window "$w"
  check "cancelled folder chooser leaves Text1 as it was" logged "window closed, Text1: $HOME"
  wait_program
  check "window ends with status 0 after the chooser" is "$status" 0
}

test_folder_chooser_takes_the_root() {
  open_window
  press "$w" Tab Return
  type_path "$(find_window "Choose the folder the QIF files are written to")" /
  check "folder chooser accepts the root folder" logged "folder chooser: chosen"
  close_window "$w"
  check "choosing / sets Text1 to / (no separator added or removed)" \
    logged "window closed, Text1: /"
  wait_program
}

# Converts into Text1's folder; a failure leaves the window open.
test_convert_qfx_into_the_output_folder() {
  mkdir in
  failed_lines_file "in/two bad.qfx"
  open_window
  press "$w" Return
  local chooser
  chooser=$(find_window "Convert QFX")
  check "'Convert QFX' (first in tab order) opens the file chooser" test -n "$chooser"
  type_path "$chooser" "$case_dir/in/two bad.qfx"
  check "window mode shows the failed-lines message in a dialog" \
    logged 'message "Ledgerlift": Failed to read 2 lines of data from QFX file.'
  press "$(find_window Ledgerlift)" Return
  gone Ledgerlift
  check "the window stays open after the message" test -n "$(find_window "Ledgerlift Converter")"
  check "converted into Text1's folder, the home folder" test -f "$HOME/two bad.qif"
  close_window "$w"
  wait_program
  check "window ends with status 0 after a failed file" is "$status" 0
}

# The chooser lists statements whatever the letter case of their extension:
# in a folder holding only stmt.Qfx, the first file listed is opened.
test_file_chooser_lists_any_letter_case() {
  mkdir in
  printf '%s' "$shop_line" >in/stmt.Qfx
  printf 'not a statement' >in/notes.txt
  open_window
  press "$w" Return
  local chooser
  chooser=$(find_window "Convert QFX")
  type_path "$chooser" "$case_dir/in/"
  sleep 0.5
  press "$chooser" Down Return
  wait_for_file "$HOME/stmt.qif"
  check "the 'QFX statements' filter lists stmt.Qfx: it is opened and converted" \
    holds "$HOME/stmt.qif" "$shop_qif"
  close_window "$w"
  wait_program
}
