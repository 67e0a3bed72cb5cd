# Tests of the cross build that run the Windows programs under Wine beside
# the build machine's own (KINSCOPE_HOST_BUILD): scripts/test-windows.
add_test(NAME dump_same_as_linux
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/windows/same_output.sh
                 ${KINSCOPE_HOST_BUILD}/src/cli/kinscope-dump $<TARGET_FILE:kinscope-dump>
                 ${KINSCOPE_SAMPLE_DB})
set_tests_properties(dump_same_as_linux PROPERTIES TIMEOUT 600)
