# Test programs run under Wine in a throwaway prefix inside the build tree. A persistent wineserver,
# started by a CTest fixture, spares every test the server's start and stop (seconds each).
set(PALVEX_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)

# Notepad, a program with a window, holds the desktop that the boot started for the whole session:
# the null graphics driver works only in that one, and without it each broadcast would wait.
add_test(NAME wine.start COMMAND ${CMAKE_BINARY_DIR}/wine-run --server-start notepad)
add_test(NAME wine.stop COMMAND ${CMAKE_BINARY_DIR}/wine-run --server-stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)

# The Windows test programs run as a maintainer runs them on Windows: from the bundle, unpacked on
# C: of a prefix that has no drive into this tree.
add_test(NAME windows.tests COMMAND ${CMAKE_BINARY_DIR}/wine-run --bundle ${CMAKE_BINARY_DIR}/palvex-tests.zip)
set_tests_properties(windows.tests PROPERTIES FIXTURES_REQUIRED wine)
