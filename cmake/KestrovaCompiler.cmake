# Warnings and sanitizers for every target of the project.
add_compile_options(-Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
if(KESTROVA_WERROR)
  add_compile_options(-Werror)
endif()
# GCC 12's -O3 inlining of std::string appends reports overlaps that cannot happen (a known
# false positive of its restrict analysis); it would otherwise break Release builds.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
if(KESTROVA_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
  add_compile_definitions(KESTROVA_SANITIZED=1)
endif()
# The thread sanitizer cannot share a build with AddressSanitizer: it is a build of its own,
# of the tests whose subjects start threads.
if(KESTROVA_TSAN)
  if(KESTROVA_SANITIZE)
    message(FATAL_ERROR "KESTROVA_TSAN and KESTROVA_SANITIZE cannot be combined")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
  add_compile_definitions(KESTROVA_SANITIZED=1)
endif()
# Fuzzing: every target gets libFuzzer's coverage instrumentation, so the code under test
# guides the fuzzer; only the fuzz targets themselves link libFuzzer's main.
if(KESTROVA_BUILD_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "KESTROVA_BUILD_FUZZ needs clang (CC=clang-14 CXX=clang++-14)")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
