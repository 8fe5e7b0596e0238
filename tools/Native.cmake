# The bench, natively: its portable parts (vehicle model, the simulator's protocol
# side, the host's skin, variables and dashboard) under the unit tests and the
# sanitizers; the skin authors' reference, generated from the core's tables and
# checked against the committed one; and the end-to-end run of both programs with the
# real DLL under Wine.
set(ZELM_BENCH_DIR ${CMAKE_CURRENT_LIST_DIR})
include(${ZELM_BENCH_DIR}/Sources.cmake)

# The tools include their own headers as "tools/...": no name can collide with src/.
add_library(zelmbench STATIC ${ZELM_BENCH_SOURCES})
target_include_directories(zelmbench PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zelmbench PUBLIC zelmcore)

# The same, against the checked core: the sanitizers' options come with it.
add_library(zelmbench_checked STATIC ${ZELM_BENCH_SOURCES})
target_include_directories(zelmbench_checked PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(zelmbench_checked PUBLIC zelmcore_checked)

file(GLOB ZELM_BENCH_TESTS CONFIGURE_DEPENDS ${ZELM_BENCH_DIR}/tests/*Test.cpp)
add_executable(bench_tests ${ZELM_BENCH_TESTS})
target_compile_definitions(bench_tests PRIVATE ZELM_DEFAULT_SKIN="${ZELM_BENCH_DIR}/skins/default.skin")
target_link_libraries(bench_tests PRIVATE zelmbench_checked GTest::gtest GTest::gtest_main)
gtest_discover_tests(bench_tests DISCOVERY_TIMEOUT 30)

# The reference for skin authors. Regenerate with: zelm_skinref --write docs/skin-reference.md
add_executable(zelm_skinref ${ZELM_BENCH_DIR}/skinref/SkinReference.cpp)
target_link_libraries(zelm_skinref PRIVATE zelmbench)
add_test(NAME skin_reference_is_current
         COMMAND zelm_skinref --check ${CMAKE_CURRENT_SOURCE_DIR}/docs/skin-reference.md)

# Both programs and the real DLL under Wine, through scripts/bench.sh, the way a
# person runs the bench, in a prefix of its own (so a bench a user runs meanwhile is
# not disturbed). It ends that prefix's Wine processes; it runs alone all the same.
if(ZELM_CROSS)
  add_executable(bench_end_to_end ${ZELM_BENCH_DIR}/tests/e2e/BenchEndToEnd.cpp)
  target_compile_definitions(bench_end_to_end PRIVATE
    ZELM_REPO="${CMAKE_CURRENT_SOURCE_DIR}"
    ZELM_BUILD_DIR="${CMAKE_BINARY_DIR}"
    ZELM_WINEPREFIX="${CMAKE_BINARY_DIR}/bench/e2e-wineprefix"
    ZELM_DEFAULT_SKIN="${ZELM_BENCH_DIR}/skins/default.skin")
  target_link_libraries(bench_end_to_end PRIVATE zelmbench GTest::gtest GTest::gtest_main)
  add_dependencies(bench_end_to_end cross)
  add_test(NAME bench_end_to_end COMMAND bench_end_to_end)
  set_tests_properties(bench_end_to_end PROPERTIES RUN_SERIAL ON TIMEOUT 180)

  # ./zelm, the check, the chart and a fresh Wine prefix, as a skin author meets them
  # from a folder of their own (tests/commands.sh).
  add_test(NAME bench_commands COMMAND bash ${ZELM_BENCH_DIR}/tests/commands.sh ${CMAKE_CURRENT_SOURCE_DIR}
                                       ${CMAKE_BINARY_DIR})
  set_tests_properties(bench_commands PROPERTIES TIMEOUT 180 PASS_REGULAR_EXPRESSION "ZELM COMMANDS PASSED")
endif()
