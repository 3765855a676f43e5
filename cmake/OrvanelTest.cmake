# orvanel_add_test(<name> SOURCES <files...> LIBS <targets...> [SIM] [TIMEOUT <s>])
# Every test runs on the offscreen platform; SIM tests get the emulator's path
# in ORVANEL_SIM so they can talk to it over a real pseudo-terminal.
set(ORVANEL_LSAN_SUPPRESSIONS ${CMAKE_SOURCE_DIR}/tests/lsan.supp)

function(orvanel_add_test name)
  cmake_parse_arguments(T "SIM" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt5::Test ${T_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/common)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen"
          "QT_QUICK_BACKEND=software"
          "QTWEBENGINE_DISABLE_SANDBOX=1"
          # scan journals of the programs under test stay out of the user's
          "XDG_STATE_HOME=${CMAKE_BINARY_DIR}/test-state"
          "LSAN_OPTIONS=suppressions=${ORVANEL_LSAN_SUPPRESSIONS}:print_suppressions=0"
          "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
          "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
  if(T_SIM)
    add_dependencies(${name} orvanel-scanner-sim)
    list(APPEND env "ORVANEL_SIM=$<TARGET_FILE:orvanel-scanner-sim>")
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT ${T_TIMEOUT})
endfunction()
