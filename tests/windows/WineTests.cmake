# SPDX-License-Identifier: GPL-3.0-or-later
# Tests of the cross build that run the Windows programs under Wine beside
# the build machine's own (KINSCOPE_HOST_BUILD): scripts/test-windows.
add_test(NAME dump_same_as_linux
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/same_output.sh
                 ${KINSCOPE_HOST_BUILD}/src/cli/kinscope-dump $<TARGET_FILE:kinscope-dump>
                 ${KINSCOPE_SAMPLE_DB})
set_tests_properties(dump_same_as_linux PROPERTIES TIMEOUT 600)

# The zip that scripts/package ships.
add_test(NAME windows_zip
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/check_zip.sh ${CMAKE_BINARY_DIR}
                 ${PROJECT_VERSION})
set_tests_properties(windows_zip PROPERTIES TIMEOUT 120)
