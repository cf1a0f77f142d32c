# Conversions from the command line under Wine, standard error redirected:
# the register beside the statement, the message, the exit status, and
# nothing left behind on a failure.

test_shipped_example() {
  cp "$root/examples/statement.qfx" statement.qfx
  run "$(windows_path "$case_dir/statement.qfx")"
  check "shipped example: exit status 0" is "$status" 0
  check "shipped example: no message" holds "$err" ""
  check "shipped example: output equals examples/statement.qif" \
    same_bytes statement.qif "$root/examples/statement.qif"
}

# The other examples, byte for byte, each replacing an old register. The
# download of two accounts is written again in blocks, through a second
# temporary file, read back while the first is marked for deletion; nothing
# else is left.
test_every_example_two_accounts_included() {
  local example
  for example in checking-and-credit-card checking-one-tag-per-line credit-card-xml; do
    cp "$root/examples/$example.qfx" "$example.qfx"
    printf 'old\r\n' >"$example.qif"
    run "$(windows_path "$case_dir/$example.qfx")"
    check "example $example: exit status 0, no message" is "$status:$(cat "$err")" 0:
    check "example $example: output equals examples/$example.qif" \
      same_bytes "$example.qif" "$root/examples/$example.qif"
  done
  check "examples: nothing but statements and registers left" \
    is "$(files_in .)" "./checking-and-credit-card.qfx ./checking-and-credit-card.qif ./checking-one-tag-per-line.qfx ./checking-one-tag-per-line.qif ./credit-card-xml.qfx ./credit-card-xml.qif "
}

# Wine puts an argument with blanks in double quotes, as Explorer does.
test_quoted_path_with_blanks() {
  mkdir "My Files"
  cp "$root/examples/statement.qfx" "My Files/bank stmt.qfx"
  run "$(windows_path "$case_dir/My Files/bank stmt.qfx")"
  check "quoted path with blanks: exit status 0" is "$status" 0
  check "quoted path with blanks: output beside the input" \
    same_bytes "My Files/bank stmt.qif" "$root/examples/statement.qif"
}

test_upper_case_extension() {
  printf '%s' "$shop_line" >STMT.QFX
  run "$(windows_path "$case_dir/STMT.QFX")"
  check "upper-case .QFX: exit status 0" is "$status" 0
  check "upper-case .QFX: STMT.qif beside the input" holds STMT.qif "$shop_qif"
}

test_name_without_a_folder() {
  printf '%s' "$shop_line" >stmt.qfx
  run stmt.qfx
  check "name without a folder: written to the current folder" holds stmt.qif "$shop_qif"
}

test_failed_lines() {
  printf '%s<STMTTRN><NAME>X\r\n<STMTTRN>\n' "$shop_line" >stmt.qfx
  run "$(windows_path "$case_dir/stmt.qfx")"
  check "failed lines: exit status 1" is "$status" 1
  check "failed lines: message on standard error" \
    holds "$err" "Failed to read 2 lines of data from QFX file.$crlf  line 2: no type, no date, no amount$crlf  line 3: no type, no date, no amount$crlf"
  check "failed lines: output holds the good record" holds stmt.qif "$shop_qif"
  # Through a pipe, as a script reading the messages gets them.
  local piped
  piped="$(timeout 60 wine "$exe" "$(windows_path "$case_dir/stmt.qfx")" 2>&1 >/dev/null | od -c)"
  check "failed lines: the message also reaches a pipe" \
    is "$piped" "$(printf 'Failed to read 2 lines of data from QFX file.\r\n  line 2: no type, no date, no amount\r\n  line 3: no type, no date, no amount\r\n' | od -c)"
}

# Several files dropped at once on the icon arrive as one command line, the
# paths with blanks quoted (Wine quotes them as Explorer does); with its
# quotes removed it names no file, so each argument is converted.
test_several_files_on_one_command_line() {
  printf '%s' "$shop_line" >"a b.qfx"
  printf '%s' "$shop_line" >c.qfx
  printf '%s<STMTTRN>\r\n' "$shop_line" >"💸 bad.qfx"
  local gone bad
  gone="$(windows_path "$case_dir/gone away.qfx")"
  bad="$(windows_path "$case_dir/💸 bad.qfx")"
  run "$(windows_path "$case_dir/a b.qfx")" "$(windows_path "$case_dir/c.qfx")" "$gone" "$bad"
  check "several files on one command line: exit status 2 (the worst)" is "$status" 2
  check "several files on one command line: each converted beside itself" \
    eval 'holds "a b.qif" "$shop_qif" && holds c.qif "$shop_qif" && holds "💸 bad.qif" "$shop_qif"'
  check "several files on one command line: one line per file that had something to say" \
    holds "$err" "$gone: Error 2: cannot open input file $gone: File not found$crlf$bad: Failed to read 1 lines of data from QFX file.$crlf  line 2: no type, no date, no amount$crlf"
  run "$(windows_path "$case_dir/a b.qfx")" "$(windows_path "$case_dir/c.qfx")"
  check "several files, all converted: exit status 0, no message" \
    eval '[ "$status" = 0 ] && holds "$err" ""'
}

# `ledgerlift.exe "%FILE%"` with an empty FILE fails, so a script notices.
test_explicit_empty_argument() {
  run ""
  check "an explicit empty argument: exit status 2" is "$status" 2
  check "an explicit empty argument: Input File Name is missing." \
    holds "$err" "Input File Name is missing.$crlf"
}

test_missing_input() {
  printf 'precious' >stmt.qif
  run "$(windows_path "$case_dir/stmt.qfx")"
  check "missing input: exit status 2" is "$status" 2
  check "missing input: message names the path and the reason" holds "$err" \
    "Error 2: cannot open input file $(windows_path "$case_dir/stmt.qfx"): File not found$crlf"
  check "missing input: existing output untouched" holds stmt.qif precious
  check "missing input: nothing left behind" is "$(files_in .)" "./stmt.qif "
}

test_folder_as_input() {
  mkdir folder.qfx
  run "$(windows_path "$case_dir/folder.qfx")"
  check "folder as input: exit status 2" is "$status" 2
  check "folder as input: Error 3, as on Linux" holds "$err" \
    "Error 3: cannot read input file $(windows_path "$case_dir/folder.qfx"): Is a directory$crlf"
}

test_folder_in_the_way_of_the_output() {
  printf '%s' "$shop_line" >stmt.qfx
  mkdir stmt.qif
  run "$(windows_path "$case_dir/stmt.qfx")"
  check "folder in the way of the output: exit status 2" is "$status" 2
  check "folder in the way of the output: one line naming the output" holds "$err" \
    "Error 6: cannot replace output file $(windows_path "$case_dir/stmt.qif"): Is a directory$crlf"
  check "folder in the way of the output: no temporary file left" \
    is "$(files_in .)" "./stmt.qfx ./stmt.qif "
}

test_leading_dot() {
  printf '%s' "$shop_line" >.statement
  printf '%s' "$shop_line" >.stmt.qfx
  run "$(windows_path "$case_dir/.statement")"
  check "leading dot starts no extension: .statement gives .statement.qif" \
    holds .statement.qif "$shop_qif"
  run "$(windows_path "$case_dir/.stmt.qfx")"
  check "leading dot, then an extension: .stmt.qfx gives .stmt.qif" holds .stmt.qif "$shop_qif"
}

# Standard error a pipe its reader has already closed: the message cannot be
# written, and no message box takes its place to wait for a click no one
# makes; the run ends with its status, which the script still gets.
test_unwritable_standard_error_shows_no_box() {
  printf '%s<STMTTRN><NAME>X\r\n' "$shop_line" >stmt.qfx
  timeout 30 wine "$exe" "$(windows_path "$case_dir/stmt.qfx")" 2>&1 >/dev/null </dev/null |
    true
  check "standard error unwritable: no box, the run ends with status 1" is "${PIPESTATUS[0]}" 1
}
