# The window in window mode: its caption, its designed size on a plain and
# on a scaled desktop, its screenshot, and a clean end when it is closed.

test_window_at_its_designed_size() {
  open_window
  check "window appears captioned 'Ledgerlift Converter'" test -n "$w"
  check "window opens at its designed client size, 349x225" is "$(window_size "$w")" 349x225
  sleep 0.5
  screenshot "$w" "$screenshots/screenshot-linux.png"
  check "screenshot of the window is 349x225" \
    is "$(identify -format '%wx%h' "$screenshots/screenshot-linux.png" 2>/dev/null)" 349x225
  close_window "$w"
  wait_program
  check "closing the window ends the program with status 0" is "$status" 0
  check "window prints nothing on a clean run" is_empty_file err
  check "Text1 starts as the home folder" logged "window closed, Text1: $HOME"
}

# A whole-number scale factor, and text scaled by half again (144 dots per
# inch), scale the designed size.
test_scaled_desktop() {
  local scaled
  for scaled in "GDK_SCALE=2 698x450" "GDK_DPI_SCALE=1.5 524x338"; do
    open_window "${scaled% *}"
    check "scaled desktop (${scaled% *}): window opens at ${scaled#* }" \
      is "$(window_size "$w")" "${scaled#* }"
    close_window "$w"
    wait_program
  done
}
