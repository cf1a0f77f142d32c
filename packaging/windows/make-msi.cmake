# Makes the installer from ledgerlift.wxs.in with wixl, run by the
# windows_msi target:
#   cmake -D WIXL=... -D MSIBUILD=... -D FAKETIME=... -D VERSION=1.0.0
#         -D RELEASE_TIME="YYYY-MM-DD HH:MM:SS" -D SOURCE=ledgerlift.wxs.in
#         -D ICON=ledgerlift.ico -D FILES=FOLDER -D OUTPUT=ledgerlift.msi
#         -P make-msi.cmake
# FILES holds ledgerlift.exe, README.txt and LICENSE.txt.
#
# The same files give the same bytes. wixl writes the time it runs and a
# random package code into the summary, and has no way to read a condition on
# a component or a search for a key's default value; so it runs at the
# release time (faketime), and msibuild (msitools) then sets the codes and
# adds what wixl cannot write.

foreach(tool WIXL MSIBUILD FAKETIME)
  if(NOT ${tool} OR NOT EXISTS "${${tool}}")
    message(FATAL_ERROR "${tool} not found: the installer needs the Debian packages "
      "wixl, msitools and faketime (scripts/install-deps.sh test installs them)")
  endif()
endforeach()

# The product code changes with each version, so that a newer version
# replaces an older one; the package code changes with the files packed.
set(namespace 8d3c1f7a-52e6-4b90-a4d1-6e0f2b9c7a35)
string(UUID product_code NAMESPACE ${namespace} NAME "Ledgerlift ${VERSION}"
  TYPE SHA1 UPPER)
set(packed "${VERSION}")
foreach(file ${FILES}/ledgerlift.exe ${FILES}/README.txt ${FILES}/LICENSE.txt ${ICON}
    ${SOURCE})
  file(SHA256 ${file} hash)
  string(APPEND packed " ${hash}")
endforeach()
string(UUID package_code NAMESPACE ${namespace} NAME "${packed}" TYPE SHA1 UPPER)

set(PROJECT_VERSION ${VERSION})
set(PRODUCT_CODE ${product_code})
set(PACKAGE_CODE ${package_code})
get_filename_component(work ${OUTPUT}.work ABSOLUTE)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})
configure_file(${SOURCE} ${work}/ledgerlift.wxs @ONLY)
set(packed_files ledgerlift.exe README.txt LICENSE.txt)
foreach(file ${packed_files})
  file(COPY_FILE ${FILES}/${file} ${work}/${file})
endforeach()
file(COPY_FILE ${ICON} ${work}/ledgerlift.ico)
# The cabinet inside keeps each file's time: the release's.
execute_process(COMMAND touch -d "${RELEASE_TIME} UTC" ${packed_files} ledgerlift.ico
  WORKING_DIRECTORY ${work} COMMAND_ERROR_IS_FATAL ANY)

# run COMMAND...: runs COMMAND in the work folder at the release time (UTC).
function(run)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC
    ${FAKETIME} -f "${RELEASE_TIME}" ${ARGN}
    WORKING_DIRECTORY ${work} RESULT_VARIABLE status ERROR_VARIABLE errors)
  # wixl warns through GLib about what it leaves out; a failure is its status.
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGV0} failed (${status}):\n${errors}")
  endif()
endfunction()

run(${WIXL} --arch x64 --output ledgerlift.msi ledgerlift.wxs)
run(${MSIBUILD} ledgerlift.msi -s "Ledgerlift ${VERSION}: QFX statements to QIF"
  "Tessarine Inc" "x64\;1033" "{${package_code}}")
# .qfx opens with Ledgerlift only where no program claims it yet: the
# QfxDefault component needs QFX_OWNER, HKEY_CLASSES_ROOT\.qfx's default
# value (raw), to be empty.
run(${MSIBUILD} ledgerlift.msi -q "INSERT INTO `RegLocator` (`Signature_`, `Root`, `Key`, `Type`) VALUES ('QfxOwner', 0, '.qfx', 2)")
run(${MSIBUILD} ledgerlift.msi -q "UPDATE `Component` SET `Condition` = 'NOT QFX_OWNER' WHERE `Component` = 'QfxDefault'")

file(RENAME ${work}/ledgerlift.msi ${OUTPUT})
file(REMOVE_RECURSE ${work})
