# Native half: the core with GoogleTest (under the sanitizers), the allocation check,
# the core benchmark, and the cross build of the Windows half.
find_package(GTest REQUIRED)
find_package(Threads REQUIRED)
include(GoogleTest)

option(ZELM_CROSS "Cross-build the DLL and run its tests under Wine" ON)

zelm_core_library(zelmcore)

# The core again, under AddressSanitizer and UBSan, for the unit tests.
zelm_core_library(zelmcore_checked)
set(ZELM_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
target_compile_options(zelmcore_checked PUBLIC ${ZELM_SANITIZE})
target_link_options(zelmcore_checked PUBLIC ${ZELM_SANITIZE})

# One folder per room of the code they test (tests/native/<room>/), on the support
# they share with the benchmarks (tests/support/native/).
file(GLOB_RECURSE ZELM_NATIVE_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/native/*Test.cpp)
add_executable(core_tests ${ZELM_NATIVE_TESTS})
target_include_directories(core_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(core_tests PRIVATE zelmcore_checked GTest::gtest GTest::gtest_main)
gtest_discover_tests(core_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS unit)

# Counting allocator: its own program, since it replaces operator new.
add_executable(allocation_check tests/native/allocations/AllocationCheck.cpp)
target_include_directories(allocation_check PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(allocation_check PRIVATE zelmcore GTest::gtest GTest::gtest_main)
gtest_discover_tests(allocation_check DISCOVERY_TIMEOUT 30 PROPERTIES LABELS unit)

find_package(benchmark REQUIRED)
add_executable(label_bench bench/native/LabelBench.cpp)
target_include_directories(label_bench PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(label_bench PRIVATE zelmcore benchmark::benchmark)

if(ZELM_CROSS)
  include(ExternalProject)
  ExternalProject_Add(cross
    SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR}
    BINARY_DIR ${CMAKE_BINARY_DIR}/cross
    CMAKE_ARGS
      -DCMAKE_TOOLCHAIN_FILE=${CMAKE_CURRENT_SOURCE_DIR}/cmake/mingw-i686.cmake
      -DCMAKE_BUILD_TYPE=Release
      -DZELM_WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    USES_TERMINAL_BUILD ON)
  # Let one ctest run see the cross build's tests too.
  file(WRITE ${CMAKE_BINARY_DIR}/cross-tests.cmake "subdirs(\"${CMAKE_BINARY_DIR}/cross\")\n")
  set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${CMAKE_BINARY_DIR}/cross-tests.cmake)
endif()

# The shipped programs' and the workbench's portable parts are tested natively too
# (their lists serve both builds), in one suite.
add_subdirectory(src/programs)
add_subdirectory(workbench)
file(GLOB ZELM_TOOLS_TESTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/programs/*Test.cpp
     ${CMAKE_CURRENT_SOURCE_DIR}/tests/workbench/*Test.cpp)
add_executable(tools_tests ${ZELM_TOOLS_TESTS})
target_include_directories(tools_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_compile_definitions(tools_tests PRIVATE
  ZELM_DEFAULT_SKIN="${CMAKE_CURRENT_SOURCE_DIR}/workbench/skins/default.skin"
  ZELM_README_IN="${CMAKE_CURRENT_SOURCE_DIR}/package/README.txt.in")
target_link_libraries(tools_tests PRIVATE zelmworkbench_checked GTest::gtest GTest::gtest_main)
gtest_discover_tests(tools_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS unit)

# Both workbench programs and the real DLL under Wine, through scripts/workbench.sh, the
# way a person runs the workbench, in a prefix of its own (so a bench a user runs
# meanwhile is not disturbed). It ends that prefix's Wine processes; it runs alone all
# the same.
if(ZELM_CROSS)
  add_executable(workbench_end_to_end tests/workbench/e2e/WorkbenchEndToEnd.cpp)
  target_include_directories(workbench_end_to_end PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(workbench_end_to_end PRIVATE
    ZELM_REPO="${ZELM_ROOT}"
    ZELM_BUILD_DIR="${CMAKE_BINARY_DIR}"
    ZELM_WINEPREFIX="${CMAKE_BINARY_DIR}/workbench/e2e-wineprefix"
    ZELM_DEFAULT_SKIN="${CMAKE_CURRENT_SOURCE_DIR}/workbench/skins/default.skin")
  target_link_libraries(workbench_end_to_end PRIVATE zelmworkbench GTest::gtest GTest::gtest_main)
  add_dependencies(workbench_end_to_end cross)
  add_test(NAME workbench_end_to_end COMMAND workbench_end_to_end)
  set_tests_properties(workbench_end_to_end PROPERTIES RUN_SERIAL ON TIMEOUT 180)

  # ./zelm, the check, the chart and a fresh Wine prefix, as a skin author meets them
  # from a folder of their own (tests/workbench/commands.sh).
  add_test(NAME workbench_commands COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/workbench/commands.sh ${ZELM_ROOT}
                                       ${CMAKE_BINARY_DIR})
  set_tests_properties(workbench_commands PROPERTIES TIMEOUT 180 PASS_REGULAR_EXPRESSION "ZELM COMMANDS PASSED")
endif()

# clang-tidy's checks of .clang-tidy (cmake/lint.sh) over every source of this build
# (the core, the programs' and the workbench's portable parts, the native tests and the
# benchmark), and over what only the cross build compiles (the Windows shell, the
# programs' and the workbench's Windows parts,
# the Wine tests, their support and the Wine bench), as many files at once as there are
# cores (or ZELM_JOBS: ./zelm test -j N). They mostly overlap the Wine tests, which wait
# on each other. The header filter is anchored at the checkout's root: a checkout under
# ~/src or any folder named like ours must not take the build's generated headers for
# our own.
find_program(ZELM_RUN_CLANG_TIDY NAMES run-clang-tidy run-clang-tidy-14 REQUIRED)
cmake_host_system_information(RESULT ZELM_CORES QUERY NUMBER_OF_LOGICAL_CORES)
string(REGEX REPLACE "([][+.*?()^$|\\])" "\\\\\\1" ZELM_ROOT_PATTERN "${ZELM_ROOT}")
set(ZELM_LINT sh ${CMAKE_CURRENT_SOURCE_DIR}/cmake/lint.sh ${ZELM_RUN_CLANG_TIDY} ${ZELM_CORES} ${ZELM_ROOT_PATTERN})
add_test(NAME lint COMMAND ${ZELM_LINT} native ${CMAKE_BINARY_DIR})
set_tests_properties(lint PROPERTIES TIMEOUT 900)
if(ZELM_CROSS)
  add_test(NAME lint_windows COMMAND ${ZELM_LINT} windows ${CMAKE_BINARY_DIR}/cross)
  set_tests_properties(lint_windows PROPERTIES TIMEOUT 900)
endif()

# Every C++ file in the layout of .clang-format.
find_program(ZELM_CLANG_FORMAT NAMES clang-format clang-format-14 REQUIRED)
add_test(NAME format COMMAND sh -c
  "find src workbench tests bench -name '*.cpp' -o -name '*.h' | sort | xargs \"$0\" --dry-run --Werror"
  ${ZELM_CLANG_FORMAT} WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})

# The core is portable: no Windows header in it.
add_test(NAME core_is_portable COMMAND sh -c
  "! grep -rlE '#include <(windows|ole2|oleauto|objbase|oaidl)\\.h>' src/core"
  WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
# Every include in the room order of docs/architecture.md: no arrow runs back up.
add_test(NAME rooms_in_order COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/check-rooms.sh ${CMAKE_CURRENT_SOURCE_DIR})
set_tests_properties(rooms_in_order PROPERTIES PASS_REGULAR_EXPRESSION "every one in the room order")
# The same checks from a copy of the checkout under folders named like ours.
if(ZELM_CROSS)
  add_test(NAME checks_wherever COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/tests/check-wherever.sh
                                        ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_BINARY_DIR})
  set_tests_properties(checks_wherever PROPERTIES PASS_REGULAR_EXPRESSION "CHECKS PASS WHEREVER" TIMEOUT 300)
endif()
# These take seconds and build nothing: ./zelm test --quick runs them beside the unit
# suites.
set_tests_properties(format core_is_portable rooms_in_order PROPERTIES LABELS quick)
