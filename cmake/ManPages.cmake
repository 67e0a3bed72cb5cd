# SPDX-License-Identifier: GPL-3.0-or-later
# Manual pages made from the programs' own --help and --version by help2man,
# compressed as Debian installs them, and the project's changelog likewise.
if(CMAKE_CROSSCOMPILING)
  return()  # the build machine does not run the programs of another system
endif()
find_program(KINSCOPE_HELP2MAN help2man)
find_program(KINSCOPE_GZIP gzip REQUIRED)
if(NOT KINSCOPE_HELP2MAN)
  message(FATAL_ERROR "help2man is missing (Debian package help2man, scripts/setup.sh)")
endif()

# The manual page of the program `target` in section 1, installed in
# share/man/man1; `summary` is its NAME line.
function(kinscope_man_page target summary)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${target}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${KINSCOPE_HELP2MAN} --no-info --section=1 "--name=${summary}"
            "--source=Kinscope ${PROJECT_VERSION}" --output=${page} $<TARGET_FILE:${target}>
    COMMAND ${KINSCOPE_GZIP} -9nf ${page}
    DEPENDS ${target}
    COMMENT "Manual page of ${target}"
    VERBATIM)
  add_custom_target(${target}_man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
