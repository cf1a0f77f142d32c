# The installer, ledgerlift-VERSION.msi, under Wine: made twice the same,
# installed without questions for the user alone, a statement converted
# through the file type it registers, and uninstalled leaving nothing.

msi="$build/ledgerlift-$(project_version).msi"

# wine_folder VARIABLE: the Linux path of a Windows folder variable.
wine_folder() {
  winepath -u "$(wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r')" 2>/dev/null
}

# value_of KEY [VALUE]: the data of a registry value (the key's default
# without VALUE), as `reg query` shows it; empty when there is none or it is
# not set.
value_of() {
  local which=(/ve)
  [ $# -gt 1 ] && which=(/v "$2")
  wine reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r' |
    sed -n 's/^    [^ ].*    REG_[A-Z_]*    //p; s/^    [^ ].*    REG_[A-Z_]*$//p' | head -1 |
    grep -vx '(value not set)'
}
# has_key KEY [/v VALUE]: the key (or that value of it) exists.
has_key() { wine reg query "$@" >/dev/null 2>&1; }

# What the registry and the Windows folders hold: every key and value name
# (not the data, which Wine's own bookkeeping changes) of HKCU and
# HKLM\Software, and every file and folder of the profiles and the
# installer's cache. Left out: the keys and folders Windows Installer keeps
# its records in (empty again after an uninstall, as on Windows), and Wine's
# own keys.
snapshot() {
  local part
  for part in HKCU HKLM\\Software; do
    wine reg export "$part" "$case_dir/export.reg" /y >/dev/null 2>&1
    iconv -f UTF-16 -t UTF-8 "$case_dir/export.reg" | tr -d '\r' |
      sed -n 's/^\(\[.*\]\)$/\1/p; s/^\("[^"]*"\)=.*/  \1/p' |
      awk '/^\[/ { own = /\\Microsoft\\Installer|\\CurrentVersion\\Installer|\\Software\\Wine\\/ }
           !own'
  done
  (cd "$drive_c" && find users windows/Installer ! -type d 2>/dev/null
    find users -type d ! -path '*/Microsoft/Installer' 2>/dev/null) | sort
}

# msiexec ARGUMENT...: Windows Installer, without Wine's menu builder (which
# would copy the Start-menu entry into the Linux desktop's menus).
msiexec() {
  WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d" \
    timeout 120 wine msiexec "$@" >/dev/null 2>&1
}

# listed_in_apps: the product's uninstall entry names it, its version and
# its maker (per user, or where Wine keeps every product's).
listed_in_apps() {
  local product hive key
  product=$(msiinfo export "$msi" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r')
  for hive in HKCU HKLM; do
    key="$hive\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
    [ "$(value_of "$key" DisplayName)" = Ledgerlift ] &&
      [ "$(value_of "$key" DisplayVersion)" = "$(project_version)" ] &&
      [ "$(value_of "$key" Publisher)" = "Tessarine Inc" ] && return 0
  done
  echo "  no uninstall entry for $product names Ledgerlift $(project_version), Tessarine Inc"
  false
}

test_the_same_bytes_twice() {
  (cd "$root" && cmake --workflow --preset windows-msi) >"$case_dir/msi.log" 2>&1
  check "cmake --workflow --preset windows-msi makes $(basename "$msi")" test -f "$msi"
  cp "$msi" first.msi
  rm -f "$msi"
  (cd "$root" && cmake --build --preset windows-msi) >>"$case_dir/msi.log" 2>&1
  check "the installer made again: the same bytes" same_bytes "$msi" first.msi
  check "the installer asks for no administrator rights (summary: word count 10)" \
    grep -qx 'Source: 10 (a)' <(msiinfo suminfo "$msi")
  check "the installer installs per user (no ALLUSERS property)" \
    eval '! msiinfo export "$msi" Property | grep -q "^ALLUSERS"'
}

test_install_convert_uninstall() {
  [ -f "$msi" ] || { check "the installer was made" false; return; }
  local before start_menu product folder command statement extension
  before=$(snapshot)
  msiexec /i "$(windows_path "$msi")" /qn
  check "msiexec /i /qn: exit status 0" is "$?" 0

  folder="$(wine_folder LOCALAPPDATA)/Programs/Ledgerlift"
  check "installed under %LOCALAPPDATA%\\Programs\\Ledgerlift: the program, README.txt, LICENSE.txt" \
    is "$(files_in "$folder" 2>/dev/null)" "./LICENSE.txt ./README.txt ./ledgerlift.exe "
  check "  ... ledgerlift.exe is the program built" same_bytes "$folder/ledgerlift.exe" "$exe"
  start_menu="$(wine_folder APPDATA)/Microsoft/Windows/Start Menu/Programs"
  check "Start menu: a Ledgerlift shortcut" test -s "$start_menu/Ledgerlift.lnk"
  check "  ... to the installed program" \
    grep -qa 'Programs\\Ledgerlift\\ledgerlift.exe' "$start_menu/Ledgerlift.lnk"

  local classes='HKCU\Software\Classes' program
  program="$(wine cmd /c echo '%LOCALAPPDATA%' 2>/dev/null | tr -d '\r')\\Programs\\Ledgerlift\\ledgerlift.exe"
  command=$(value_of "$classes\\Ledgerlift.Statement\\shell\\open\\command")
  check "file type Ledgerlift.Statement: opened by \"…\\ledgerlift.exe\" \"%1\"" \
    is "$command" "\"$program\" \"%1\""
  check "  ... its icon is the program's" \
    is "$(value_of "$classes\\Ledgerlift.Statement\\DefaultIcon")" "$program,0"
  check "  ... named \"QFX bank statement\"" \
    is "$(value_of "$classes\\Ledgerlift.Statement")" "QFX bank statement"
  for extension in .qfx .ofx; do
    check "$extension: OpenWithProgids lists Ledgerlift.Statement" \
      has_key "$classes\\$extension\\OpenWithProgids" /v Ledgerlift.Statement
  done
  check ".qfx, claimed by no other program: opens as Ledgerlift.Statement" \
    is "$(value_of "$classes\\.qfx")" Ledgerlift.Statement
  check "Apps & features: Ledgerlift $(project_version) by Tessarine Inc" listed_in_apps

  # A double-click runs the command the file type names, %1 the file. (Wine
  # does not look up HKCU\Software\Classes when it opens a file, so the
  # command is run as Explorer would run it, from a batch file.)
  cp "$root/examples/statement.qfx" statement.qfx
  statement="$(windows_path "$case_dir/statement.qfx")"
  printf '@%s\r\n' "${command//%1/$statement}" >open.bat
  timeout 60 wine cmd /c "$(windows_path "$case_dir/open.bat")" >/dev/null 2>&1
  check "the file type's command converts statement.qfx beside itself" \
    same_bytes statement.qif "$root/examples/statement.qif"

  msiexec /x "$(windows_path "$msi")" /qn
  check "msiexec /x /qn: exit status 0" is "$?" 0
  check "uninstalled: no Programs\\Ledgerlift folder" test ! -e "$folder"
  check "uninstalled: no Start-menu shortcut" test ! -e "$start_menu/Ledgerlift.lnk"
  check "uninstalled: no Ledgerlift.Statement, .qfx or .ofx key" \
    eval '! has_key "$classes\\Ledgerlift.Statement" && ! has_key "$classes\\.qfx" &&
          ! has_key "$classes\\.ofx"'
  check "uninstalled: every registry key and value and every file as before" \
    is "$(snapshot | diff <(echo "$before") - | head -20)" ""
}

# Where another program opens .qfx files, the installer leaves that choice:
# Ledgerlift is only offered under "Open with".
test_qfx_claimed_by_another_program() {
  [ -f "$msi" ] || { check "the installer was made" false; return; }
  local other='HKLM\Software\Classes\.qfx' classes='HKCU\Software\Classes'
  wine reg add "$other" /ve /d Other.Statement /f >/dev/null 2>&1
  msiexec /i "$(windows_path "$msi")" /qn
  check ".qfx claimed by another program: left to it" is "$(value_of "$classes\\.qfx")" ""
  check "  ... Ledgerlift offered in its OpenWithProgids" \
    has_key "$classes\\.qfx\\OpenWithProgids" /v Ledgerlift.Statement
  msiexec /x "$(windows_path "$msi")" /qn
  check "  ... uninstalled: the other program's .qfx stays" \
    is "$(value_of "$other")" Other.Statement
  wine reg delete "$other" /f >/dev/null 2>&1
}
