# File names as Windows takes them: any script through the wide functions,
# whatever the code page, never a look-alike; "/" and drive-relative forms.

test_name_in_the_code_page() {
  printf '%s' "$shop_line" >"€uro café.qfx"
  run "$(windows_path "$case_dir/€uro café.qfx")"
  check "name outside ASCII (in code page 1252): exit status 0" is "$status" 0
  check "name outside ASCII (in code page 1252): output written" holds "€uro café.qif" "$shop_qif"
}

# Polish, Cyrillic, Chinese, an emoji outside the Basic Multilingual Plane,
# and a folder named so (a user's profile folder).
test_names_outside_the_code_page() {
  local name
  mkdir "Użytkownik Пётр"
  for name in "Łódź" "Пётр выписка" "银行对账单" "💸 March" "Użytkownik Пётр/stmt"; do
    printf '%s' "$shop_line" >"$name.qfx"
    run "$(windows_path "$case_dir/$name.qfx")"
    check "name outside the code page ($name): exit status 0, no message" \
      eval '[ "$status" = 0 ] && holds "$err" ""'
    check "name outside the code page ($name): output beside the input" \
      holds "$name.qif" "$shop_qif"
  done
}

# The code page's best fit for Łódź.qfx is Lódz.qfx: the look-alike beside
# it must never be the file converted.
test_look_alike_never_converted() {
  printf '%s' "$shop_line" >"Łódź.qfx"
  printf '<STMTTRN><NAME>LOOK-ALIKE\r\n' >"Lódz.qfx"
  run "$(windows_path "$case_dir/Łódź.qfx")"
  check "look-alike: Łódź.qfx converted, exit status 0" is "$status" 0
  check "look-alike: Łódź.qif holds Łódź.qfx's record" holds "Łódź.qif" "$shop_qif"
  check "look-alike: Lódz.qfx left alone" test ! -e "Lódz.qif"
  rm "Łódź.qfx" "Łódź.qif"
  run "$(windows_path "$case_dir/Łódź.qfx")"
  check "look-alike: a missing Łódź.qfx is named in the error (UTF-8), not Lódz.qfx" \
    holds "$err" "Error 2: cannot open input file $(windows_path "$case_dir/Łódź.qfx"): File not found$crlf"
  check "look-alike: still nothing written for Lódz.qfx" test ! -e "Lódz.qif"
}

# "/" separates folders as "\" does; the path is kept as written.
test_forward_slashes() {
  mkdir "My Data"
  printf '%s' "$shop_line" >"My Data/stmt.qfx"
  run "Z:$case_dir/My Data/stmt.qfx"
  check "forward slashes: exit status 0, no message" eval '[ "$status" = 0 ] && holds "$err" ""'
  check "forward slashes: output beside the input" holds "My Data/stmt.qif" "$shop_qif"
  run "Z:$case_dir/My Data/gone.qfx"
  check "forward slashes: an error keeps the path as written" holds "$err" \
    "Error 2: cannot open input file Z:$case_dir/My Data/gone.qfx: File not found$crlf"
}

# A drive-relative name lies in that drive's current folder.
test_drive_relative() {
  printf '%s' "$shop_line" >stmt.qfx
  run "Z:stmt.qfx"
  check "drive-relative Z:stmt.qfx: exit status 0" is "$status" 0
  check "drive-relative Z:stmt.qfx: Z:stmt.qif in the current folder, no file named Z:stmt.qif" \
    eval 'holds stmt.qif "$shop_qif" && is "$(files_in .)" "./stmt.qfx ./stmt.qif "'
  run "Z:gone.qfx"
  check "drive-relative: an error names Z:gone.qfx" holds "$err" \
    "Error 2: cannot open input file Z:gone.qfx: File not found$crlf"
}
