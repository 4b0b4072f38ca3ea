# Test helpers shared by every folder under tests/.
#
#   kestrova_add_gtest(NAME SOURCES a.cpp ... LIBS lib ... [X11] [LABELS l ...] [TIMEOUT s])
#
# One CTest entry per test program. X11 tests run inside the shared Xvfb + openbox
# session that the "x11" fixture starts on a free display, one at a time, because they
# share the screen, the pointer and the window stacking.
find_package(GTest REQUIRED)

set(KESTROVA_X11_DIR ${CMAKE_SOURCE_DIR}/tests/x11)
set(KESTROVA_X11_STATE ${CMAKE_BINARY_DIR}/x11-session)

add_test(NAME x11_session_start COMMAND ${KESTROVA_X11_DIR}/xsession-start ${KESTROVA_X11_STATE})
add_test(NAME x11_session_stop COMMAND ${KESTROVA_X11_DIR}/xsession-stop ${KESTROVA_X11_STATE})
set_tests_properties(x11_session_start PROPERTIES FIXTURES_SETUP x11 LABELS x11 TIMEOUT 60)
set_tests_properties(x11_session_stop PROPERTIES FIXTURES_CLEANUP x11 LABELS x11 TIMEOUT 60)

function(kestrova_add_gtest name)
  cmake_parse_arguments(T "X11" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gmock GTest::gtest_main Threads::Threads)
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  if(T_X11)
    add_test(NAME ${name} COMMAND ${KESTROVA_X11_DIR}/run-in-xsession ${KESTROVA_X11_STATE} $<TARGET_FILE:${name}>)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED x11 RESOURCE_LOCK x11display
                         LABELS "x11;${T_LABELS}" TIMEOUT ${T_TIMEOUT})
  else()
    add_test(NAME ${name} COMMAND ${name})
    if(T_LABELS)
      set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT
    "KESTROVA_SOURCE_DIR=${CMAKE_SOURCE_DIR};KESTROVA_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
