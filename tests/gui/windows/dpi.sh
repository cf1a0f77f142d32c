# The window at 144 DPI: every size scaled by 1.5.

test_window_at_144_dpi() {
  set_dpi 144
  start_exe
  local w size=none
  w=$(find_window "Ledgerlift Converter")
  if [ -n "$w" ]; then
    sleep 0.5
    size=$(window_size "$w")
    close_window "$w"
  fi
  wait_program 30
  set_dpi default  # 96
  check "144 DPI: 524 x 338 client area (534 x 376 with Wine's frame)" is "$size" 534x376
}
