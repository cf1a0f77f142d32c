# Included by the top-level CMakeLists.txt when LEDGERLIFT_FUZZ is on, before
# any target is made: every object gets libFuzzer's coverage hooks and the
# sanitizers, and each harness links the fuzzing engine itself.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  message(FATAL_ERROR "LEDGERLIFT_FUZZ needs clang (libFuzzer): use the 'fuzz' preset")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined
                    -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined)
