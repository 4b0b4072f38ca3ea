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
