# Warnings are shown in every target of the suite; with SUITE_WERROR (as the
# CI builds) they are errors, so a newer compiler's new warning does not stop
# a build on someone else's machine.
add_compile_options(-Wall -Wextra -Wpedantic)
option(SUITE_WERROR "Treat compiler warnings as errors" OFF)
if(SUITE_WERROR)
  add_compile_options(-Werror)
endif()

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

# suite_add_program(<Executable> LIB <library> SOURCES <files...>): a program of
# the suite. Its windows go into a static library (so that the tests drive the
# very windows the program shows) linked with the window kit; main.cpp only
# starts it; the folder's tests/ is added when there is one.
function(suite_add_program exe)
  cmake_parse_arguments(P "" "LIB" "SOURCES;LIBS" ${ARGN})
  add_library(${P_LIB} STATIC ${P_SOURCES})
  target_include_directories(${P_LIB} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${P_LIB} PUBLIC instrument_ui ${P_LIBS})
  add_executable(${exe} main.cpp)
  target_link_libraries(${exe} PRIVATE ${P_LIB})
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/tests/CMakeLists.txt)
    add_subdirectory(tests)
  endif()
endfunction()

# suite_program_tests(<program> LIB <library> TESTS <kind...> [SOURCES <extra...>]):
# one test tst_<program>_<kind> from tst_<program>_<kind>.cpp for each kind
# ("window" against the scripted port, "sim" against the simulator, or any
# other), linked with the program's library and the test support. Tests of
# kind "sim" wait for the simulator to be built.
function(suite_program_tests program)
  cmake_parse_arguments(T "" "LIB;TIMEOUT" "TESTS;SOURCES" ${ARGN})
  foreach(kind ${T_TESTS})
    set(name tst_${program}_${kind})
    suite_add_qtest(${name} SOURCES ${name}.cpp ${T_SOURCES} LIBS ${T_LIB} instrument_testsupport
                    TIMEOUT ${T_TIMEOUT})
    target_compile_definitions(${name} PRIVATE TEST_DATA="${CMAKE_CURRENT_SOURCE_DIR}/data")
    if(kind STREQUAL "sim" AND TARGET instrument-sim)
      add_dependencies(${name} instrument-sim)
    endif()
  endforeach()
endfunction()

# suite_add_benchmark(<name> SOURCES <files...> LIBS <libs...>): a benchmark
# against the paced simulator. It runs for minutes, so it is started by hand
# (build/tests/<name>), not by CTest.
function(suite_add_benchmark name)
  cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${B_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${B_LIBS} instrument_testsupport Qt6::Test)
  if(TARGET instrument-sim)
    add_dependencies(${name} instrument-sim)
  endif()
endfunction()
