# How an existing register is replaced under Wine: only when the new one is
# whole, through a link, never a read-only one or the statement itself, and
# nothing left behind when the program is ended from outside.

precious='an earlier register'

# A temporary file left by a run a power cut ended is not ours: the new one
# is created beside it (CREATE_NEW) and it is kept.
test_existing_register_replaced() {
  printf '%s' "$shop_line" >stmt.qfx
  printf '%s' "$precious" >stmt.qif
  printf 'left behind' >.ledgerlift-Ab12Cd.tmp
  run "$(windows_path "$case_dir/stmt.qfx")"
  check "existing register: exit status 0" is "$status" 0
  check "existing register: replaced by the new one" holds stmt.qif "$shop_qif"
  check "existing register: a leftover temporary file is kept as it was" \
    holds .ledgerlift-Ab12Cd.tmp "left behind"
  check "existing register: no temporary file of its own left" \
    is "$(files_in .)" "./.ledgerlift-Ab12Cd.tmp ./stmt.qfx ./stmt.qif "
}

test_register_behind_a_link() {
  mkdir books
  printf '%s' "$shop_line" >stmt.qfx
  printf '%s' "$precious" >books/stmt.qif
  ln -s books/stmt.qif stmt.qif
  run "$(windows_path "$case_dir/stmt.qfx")"
  check "register behind a link: exit status 0" is "$status" 0
  check "register behind a link: the link stays" is "$(readlink stmt.qif)" books/stmt.qif
  check "register behind a link: the register it names is replaced" \
    holds books/stmt.qif "$shop_qif"
  check "register behind a link: no temporary file left" \
    is "$(files_in .)" "./books ./books/stmt.qif ./stmt.qfx ./stmt.qif "
}

test_read_only_attribute() {
  printf '%s' "$shop_line" >stmt.qfx
  printf '%s' "$precious" >stmt.qif
  wine attrib +r "$(windows_path "$case_dir/stmt.qif")" >/dev/null 2>&1 </dev/null
  run "$(windows_path "$case_dir/stmt.qfx")"
  check "read-only attribute: exit status 2" is "$status" 2
  check "read-only attribute: the register is not replaced" holds "$err" \
    "Error 6: cannot replace output file $(windows_path "$case_dir/stmt.qif"): the file is read-only$crlf"
  check "read-only attribute: register untouched" holds stmt.qif "$precious"
  check "read-only attribute: nothing left behind" is "$(files_in .)" "./stmt.qfx ./stmt.qif "
}

# The output would be the statement itself: by its name, by another letter
# case of it (Windows names ignore case), or by a second name (hard link).
test_output_that_is_the_statement() {
  local input
  printf '%s' "$shop_line" >x.qif
  printf '%s' "$shop_line" >STMT.QIF
  printf '%s' "$shop_line" >linked.qfx
  ln linked.qfx linked.qif
  for input in x.qif STMT.QIF linked.qfx; do
    run "$(windows_path "$case_dir/$input")"
    check "output that is the statement ($input): exit status 2" is "$status" 2
    check "output that is the statement ($input): refused" holds "$err" \
      "Error 8: cannot convert $(windows_path "$case_dir/$input"): the QIF file would replace the statement itself$crlf"
  done
  check "output that is the statement: every statement untouched" eval \
    'holds x.qif "$shop_line" && holds STMT.QIF "$shop_line" && holds linked.qif "$shop_line"'
  check "output that is the statement: nothing left behind" \
    is "$(files_in .)" "./STMT.QIF ./linked.qfx ./linked.qif ./x.qif "
}

# Held in the middle of a run by a statement arriving through a named pipe,
# then ended from outside as Task Manager ends a program: the temporary file,
# marked for deletion while it is written, goes with the process.
test_program_ended_from_outside() {
  mkfifo stmt.qfx
  printf '%s' "$precious" >stmt.qif
  wine "$exe" "$(windows_path "$case_dir/stmt.qfx")" >/dev/null 2>"$err" &
  local held=$!  # the program itself: wine becomes it
  exec 4<>stmt.qfx  # read-write: a named pipe opened so never waits
  printf '%s' "$shop_line" >&4
  for _ in $(seq 100); do [ -n "$(find . -name '.ledgerlift-*.tmp')" ] && break; sleep 0.1; done
  check "during a run: one temporary file named .ledgerlift-XXXXXX.tmp beside the register" \
    eval '[ "$(find . -name ".ledgerlift-*.tmp" | grep -cE "/\.ledgerlift-[A-Za-z0-9]{6}\.tmp$")" = 1 ]'
  kill -KILL "$held"
  { wait "$held"; } 2>/dev/null
  exec 4>&-
  for _ in $(seq 50); do [ -z "$(find . -name '.ledgerlift-*.tmp')" ] && break; sleep 0.1; done
  check "program ended from outside: its temporary file is gone" \
    is "$(files_in .)" "./stmt.qfx ./stmt.qif "
  check "program ended from outside: register untouched" holds stmt.qif "$precious"
}

# nested_folders LENGTH: folder names of at most 100 characters, each with
# the "/" after it, LENGTH characters in all.
nested_folders() {
  local left="$1" path="" size
  while ((left > 0)); do
    size=$((left > 101 ? 100 : left - 1))
    ((left - size - 1 == 1)) && size=$((size - 1))  # leave room for one more
    path+="$(printf "%${size}s" '' | tr ' ' x)/"
    left=$((left - size - 1))
  done
  printf '%s' "$path"
}

# Paths longer than the 260 characters of MAX_PATH, as the program is given
# them (relative to the current folder, or absolute), through nested
# folders, the statement named s.qfx: a new register, then one replacing an
# earlier register; the statement of two accounts is written again through
# a second temporary file. Wine's ReplaceFile, given no name to keep the old
# file under, copies its path into 260 characters (at 260 with a short name
# it overran them and the program crashed). Nothing is left behind, and a
# message shows the path as it was given.
test_long_paths() {
  local row length form example lead folder given register
  for row in "260 absolute statement" "300 relative statement" \
    "300 absolute checking-and-credit-card" "1000 relative checking-and-credit-card" \
    "1000 absolute statement"; do
    read -r length form example <<<"$row"
    lead=""
    [ "$form" = absolute ] && lead="$(windows_path "$case_dir")\\"
    folder="$(nested_folders $((length - ${#lead} - 5)))"
    given="$lead${folder//\//\\}s.qfx"
    mkdir -p "$folder"
    cp "$root/examples/$example.qfx" "${folder}s.qfx"
    for register in new replaced; do
      [ "$register" = replaced ] && printf '%s' "$precious" >"${folder}s.qif"
      run "$given"
      check "$row (${#given} characters), $register register: exit status 0, no message" \
        is "$status:$(cat "$err")" 0:
      check "$row, $register register: output equals examples/$example.qif" \
        same_bytes "${folder}s.qif" "$root/examples/$example.qif"
    done
    check "$row: nothing left but the statement and its register" \
      is "$(find . -type f | wc -l):$(find . -name '*.tmp')" 2:
    rm "${folder}s.qfx"
    run "$given"
    check "$row, statement gone: the message shows the path as given" \
      holds "$err" "Error 2: cannot open input file $given: File not found$crlf"
    rm -r "${folder%%/*}"
  done
}
