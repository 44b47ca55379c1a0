# Test programs run under Wine in a throwaway prefix inside the build tree. A persistent wineserver,
# started by a CTest fixture, spares every test the server's start and stop (seconds each).
set(PALVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Notepad, a program with a window, holds the desktop that the boot started for the whole session:
# the null graphics driver works only in that one, and without it each broadcast would wait.
add_test(NAME wine.start COMMAND ${CMAKE_BINARY_DIR}/wine-run --server-start notepad)
add_test(NAME wine.stop COMMAND ${CMAKE_BINARY_DIR}/wine-run --server-stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)

# Registers the GoogleTest cases of `target` to run under Wine; they share the prefix's registry,
# so they never run at the same time.
function(palvex_add_wine_tests target)
  gtest_add_tests(TARGET ${target} TEST_LIST cases)
  # A stale binary runs no test for a filter, and a test that ends the process early, both with
  # exit code 0: only GoogleTest's closing lines say that tests ran and that none failed. With a
  # pass expression the exit code no longer counts, hence the fail expression for a failed row.
  set_tests_properties(${cases} PROPERTIES FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix
                       PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [1-9][0-9]* tests?\\."
                       FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()
