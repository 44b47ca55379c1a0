# The Windows tests as one folder, build/windows/palvex-tests, zipped as palvex-tests.zip, to run on
# any Windows: the test programs find everything they use beside them, so nothing in it names this
# build tree. run-tests.cmd at its top runs them, on a throwaway account only.
set(bundle ${CMAKE_BINARY_DIR}/palvex-tests)
set(fixtures ${PROJECT_SOURCE_DIR}/tests/fixtures)
add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/palvex-tests.zip
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${bundle}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${bundle}/payload ${bundle}/planted
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_LIST_DIR}/run-tests.cmd
          $<TARGET_FILE:e2e_tests> $<TARGET_FILE:in_process_tests> $<TARGET_FILE:palvex-setup> ${bundle}
  COMMAND ${CMAKE_COMMAND} -E copy ${PALVEX_PAYLOAD_DIR}/palvex.exe
          ${PALVEX_PAYLOAD_DIR}/palvex-extension.vsix ${bundle}/payload
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${fixtures}/where ${bundle}/fixtures/where
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${fixtures}/code ${bundle}/fixtures/code
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:planted_dll> ${bundle}/planted/planted.dll
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:planted_program> ${bundle}/planted/planted.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${fixtures}/planted/planted.cmd ${bundle}/planted/planted.cmd
  COMMAND ${CMAKE_COMMAND} -E copy ${fixtures}/planted/planted.cmd ${bundle}/planted/planted.bat
  COMMAND ${CMAKE_COMMAND} -E tar cf palvex-tests.zip --format=zip palvex-tests
  DEPENDS ${CMAKE_CURRENT_LIST_DIR}/run-tests.cmd e2e_tests in_process_tests palvex-setup
          palvex_payloads ${PALVEX_PAYLOAD_FILES} ${fixtures}/where/where.cmd
          ${fixtures}/code/code.cmd planted_dll planted_program ${fixtures}/planted/planted.cmd
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Packing the Windows tests into palvex-tests.zip"
  VERBATIM)
add_custom_target(palvex_test_bundle ALL DEPENDS ${CMAKE_BINARY_DIR}/palvex-tests.zip)
