# Warnings are errors in every target of the suite.
add_compile_options(-Wall -Wextra -Wpedantic -Werror)

option(SUITE_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(SUITE_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# suite_add_qtest(NAME source... LIBS lib...): one QtTest executable run by CTest
# on the offscreen platform, so no display is needed.
function(suite_add_qtest name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${T_LIBS} Qt6::Test)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;INSTRUMENT_SIM=${CMAKE_BINARY_DIR}/bin/instrument-sim;ASAN_OPTIONS=detect_leaks=0")
endfunction()
