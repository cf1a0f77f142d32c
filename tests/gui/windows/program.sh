# ledgerlift.exe as a file: one self-contained GUI program with its version
# and manifest; and the unit tests, cross-built, under Wine.

# Only system DLLs, no mingw runtime beside it.
test_one_self_contained_program() {
  local headers
  headers="$(x86_64-w64-mingw32-objdump -p "$exe")"
  check "ledgerlift.exe needs no mingw DLLs (static runtime)" \
    eval '! grep -qE "DLL Name: (libstdc|libgcc|libwinpthread)" <<<"$headers"'
  check "ledgerlift.exe is a GUI program" grep -qE "Subsystem.*Windows GUI" <<<"$headers"
}

# The version resource and the manifest carry project(VERSION).
test_version_and_manifest() {
  local version resources numbers
  version=$(project_version)
  numbers="${version//./, }, 0"
  resources="$(x86_64-w64-mingw32-windres -i "$exe" -O rc 2>/dev/null)"
  check "version resource: FILEVERSION and PRODUCTVERSION $numbers" \
    eval 'grep -qx " FILEVERSION $numbers" <<<"$resources" &&
          grep -qx " PRODUCTVERSION $numbers" <<<"$resources"'
  check "version resource: product Ledgerlift, version $version" \
    eval 'grep -q "VALUE \"ProductName\", \"Ledgerlift\"" <<<"$resources" &&
          grep -q "VALUE \"ProductVersion\", \"$version\"" <<<"$resources"'
  local texts
  texts="$(strings "$exe")"
  check "manifest: version $version.0, common controls 6, per-monitor DPI awareness, long paths" \
    eval 'grep -q "name=\"Tessarine.Ledgerlift\" version=\"$version.0\"" <<<"$texts" &&
          grep -q "Microsoft\.Windows\.Common-Controls" <<<"$texts" &&
          grep -q PerMonitorV2 <<<"$texts" &&
          grep -q "<longPathAware [^>]*>true</longPathAware>" <<<"$texts"'
}

test_unit_tests_under_wine() {
  (cd "$root" && ctest --preset windows) >"$build/unit-tests.log" 2>&1
  local unit_status=$?
  grep -E 'tests passed|FAILED' "$build/unit-tests.log" | sed 's/^/  /'
  check "unit tests under Wine (log: build/windows/unit-tests.log)" is "$unit_status" 0
}
