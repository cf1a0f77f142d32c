# The program installed with cmake --install under a prefix: the files a
# desktop needs, the MIME types it learns, and a start as a file manager
# starts it.

# install_into PREFIX: cmake --install of the build into PREFIX.
install_into() { cmake --install "$build" --prefix "$1" >install.log 2>&1; }

test_install_places_every_file() {
  local prefix="$case_dir/prefix"
  install_into "$prefix"
  check "cmake --install places program, module, desktop entry, MIME type, icons, metadata, manual" \
    test -x "$prefix/bin/ledgerlift" -a -f "$prefix/lib/ledgerlift/ledgerlift-gtk.so" \
    -a -f "$prefix/share/applications/com.tessarine.Ledgerlift.desktop" \
    -a -f "$prefix/share/mime/packages/ledgerlift.xml" \
    -a -f "$prefix/share/icons/hicolor/16x16/apps/ledgerlift.png" \
    -a -f "$prefix/share/icons/hicolor/256x256/apps/ledgerlift.png" \
    -a -f "$prefix/share/icons/hicolor/scalable/apps/ledgerlift.svg" \
    -a -f "$prefix/share/metainfo/com.tessarine.Ledgerlift.metainfo.xml" \
    -a -f "$prefix/share/man/man1/ledgerlift.1"
  check "desktop-file-validate accepts the desktop entry" \
    desktop-file-validate "$prefix/share/applications/com.tessarine.Ledgerlift.desktop"
  check "the icon is 16x16" \
    is "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/16x16/apps/ledgerlift.png")" 16x16
  update-mime-database "$prefix/share/mime" >/dev/null 2>&1
  check "the MIME database learns *.qfx" \
    grep -q 'application/vnd.intu.qfx:\*\.qfx$' "$prefix/share/mime/globs2"
  check "the MIME database learns *.ofx" \
    grep -q 'application/x-ofx:\*\.ofx$' "$prefix/share/mime/globs2"
  check "  ... without case sensitivity (no 'cs' flag)" \
    eval "! grep -E ':\\*\\.(qfx|ofx):cs' '$prefix/share/mime/globs2'"
}

test_installed_program_finds_its_module() {
  local prefix="$case_dir/prefix" dialog
  install_into "$prefix"
  failed_lines_file stmt.qfx
  start_program env LEDGERLIFT_FROM_DESKTOP=1 "$prefix/bin/ledgerlift" "$case_dir/stmt.qfx"
  dialog=$(find_window Ledgerlift)
  check "installed program finds its module: desktop start shows the dialog" test -n "$dialog"
  [ -n "$dialog" ] && press "$dialog" Return
  wait_program
  check "installed program: OK ends it with status 1" is "$status" 1
}

# The desktop entry hands every selected file to one process (%F), as a file
# manager launches it, also a name holding double quotes.
test_desktop_entry_passes_every_file() {
  local prefix="$case_dir/prefix" entry dialog
  install_into "$prefix"
  entry="$prefix/share/applications/com.tessarine.Ledgerlift.desktop"
  check "the desktop entry says the desktop starts it and passes all selected files (%F)" \
    grep -qx 'Exec=env LEDGERLIFT_FROM_DESKTOP=1 ledgerlift %F' "$entry"
  cp "$root/examples/statement.qfx" "say \"hi\".qfx"
  failed_lines_file "two bad.qfx"
  PATH="$prefix/bin:$PATH" gio launch "$entry" "$case_dir/say \"hi\".qfx" \
    "$case_dir/two bad.qfx" </dev/null >/dev/null 2>&1
  dialog=$(find_window Ledgerlift)
  check "launched from the desktop entry with two files: one dialog naming the file" \
    logged "message \"Ledgerlift\": $case_dir/two bad.qfx: Failed to read 2 lines of data from QFX file."
  [ -n "$dialog" ] && press "$dialog" Return
  gone Ledgerlift
  check "launched from the desktop entry: the file named with quotes is converted" \
    same_bytes "say \"hi\".qif" "$root/examples/statement.qif"
}
