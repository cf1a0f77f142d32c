# The link label, Label5: it looks like a link and opens the maker's web
# page with the desktop's handler.

# Label5 lies at (208, 200) in the window, 129 x 17 pixels; Label4 above it.
test_link_looks_like_a_link() {
  open_window
  check "Label5 is drawn in a link's colour, underlined" \
    looks_like_link "$w" 208 200 129 17
  check "the pointer over Label5 is a hand" is "$(cursor_over "$w" 230 207)" pointer
  check "  ... and not over Label4" eval '[ "$(cursor_over "$w" 230 190)" != pointer ]'
  close_window "$w"
  wait_program
}

test_link_opens_the_web_address() {
  mkdir -p data/applications config
  cat >browser <<EOS
#!/bin/sh
echo "\$1" >"$case_dir/opened"
EOS
  chmod +x browser
  cat >data/applications/test-browser.desktop <<EOS
[Desktop Entry]
Type=Application
Name=Test browser
Exec=$case_dir/browser %u
MimeType=x-scheme-handler/http;x-scheme-handler/https;
EOS
  printf '[Default Applications]\nx-scheme-handler/https=test-browser.desktop\n' \
    >config/mimeapps.list
  open_window XDG_DATA_HOME="$case_dir/data" XDG_CONFIG_HOME="$case_dir/config"
  press "$w" Tab Tab Tab Return  # InputSelect, OutPutSelect, Text1, then the link
  wait_for_file opened
  check "Tab reaches the link; it opens the web address with the desktop's handler" \
    is "$(cat opened 2>/dev/null)" "https://tessarine.com/"
  close_window "$w"
  wait_program
}
