# Cross-builds the Windows program (x86_64) with mingw-w64 on Linux:
#   cmake --preset windows && cmake --build --preset windows
# The posix thread model is required: the win32 one lacks std::thread and
# std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LEDGERLIFT_MINGW_PREFIX x86_64-w64-mingw32)

find_program(LEDGERLIFT_MINGW_CXX ${LEDGERLIFT_MINGW_PREFIX}-g++-posix)
find_program(LEDGERLIFT_MINGW_CC ${LEDGERLIFT_MINGW_PREFIX}-gcc-posix)
find_program(LEDGERLIFT_MINGW_RC ${LEDGERLIFT_MINGW_PREFIX}-windres)
foreach(tool LEDGERLIFT_MINGW_CXX LEDGERLIFT_MINGW_CC LEDGERLIFT_MINGW_RC)
  if(NOT ${tool})
    message(FATAL_ERROR
      "mingw-w64 (posix thread model) not found: ${tool} is missing. "
      "Install it with: scripts/install-deps.sh test "
      "(Debian package g++-mingw-w64-x86-64-posix)")
  endif()
endforeach()

set(CMAKE_C_COMPILER ${LEDGERLIFT_MINGW_CC})
set(CMAKE_CXX_COMPILER ${LEDGERLIFT_MINGW_CXX})
set(CMAKE_RC_COMPILER ${LEDGERLIFT_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${LEDGERLIFT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests of the cross-built code run under Wine when it is there.
find_program(LEDGERLIFT_WINE wine)
if(LEDGERLIFT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LEDGERLIFT_WINE})
endif()
