# The program without its GTK module beside it: it still works, in text.

test_without_the_module() {
  mkdir alone
  cp "$program" alone/
  failed_lines_file stmt.qfx
  start_program alone/ledgerlift
  wait_program
  check "module missing: window mode exits 0" is "$status" 0
  check "module missing: window mode prints the help" grep -q "Usage: ledgerlift FILE.qfx" out
  start_program env LEDGERLIFT_FROM_DESKTOP=1 alone/ledgerlift "$case_dir/stmt.qfx"
  wait_program
  check "module missing: desktop start exits 1" is "$status" 1
  check "module missing: the message goes to standard error" \
    is "$(cat err)" "$failed_lines_said"
}
