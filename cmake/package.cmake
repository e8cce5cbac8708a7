# What an installed copy holds beside the library, and the Debian package a
# lab installs on every machine: cpack -G DEB in the build tree.
install(TARGETS wena-demo RUNTIME DESTINATION bin)
install(FILES
  examples/switches_to_leds.c examples/adda_voltmeter.c examples/hex_counter.c
  examples/dc_motors.c examples/stepper.c examples/vending_controller.c
  DESTINATION share/wena/examples)
# Built, so that a teacher can try wena-grade before any student program comes.
install(TARGETS switches-to-leds adda-voltmeter hex-counter dc-motors stepper vending-controller
  RUNTIME DESTINATION lib/wena/examples)
install(FILES README.md DESTINATION share/doc/wena)
# The guides the README links to, beside it as in the sources.
file(GLOB wena_guides ${PROJECT_SOURCE_DIR}/docs/*.md ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${wena_guides} DESTINATION share/doc/wena/docs)
# Manual pages, compressed without a name or a time as Debian keeps them.
if(NOT WIN32)
  foreach(page wena-grade.1 wena-demo.1 wena.3 wena-lcd.3)
    string(REGEX REPLACE ".*\\." "" section ${page})
    configure_file(docs/man/${page}.in ${PROJECT_BINARY_DIR}/man/${page} @ONLY)
    execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/man/${page}
      OUTPUT_FILE ${PROJECT_BINARY_DIR}/man/${page}.gz COMMAND_ERROR_IS_FATAL ANY)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.gz DESTINATION share/man/man${section})
  endforeach()
  # man lcd_goto, man sim_poll: each call's name leads to the page that has it.
  foreach(call sim_poll Sleep lcd_goto lcd_putc lcd_puts lcd_putdec lcd_putfix lcd_putbin lcd_puthex
          lcd_cursor_off lcd_cursor_on lcd_clear)
    if(call MATCHES "^lcd_")
      set(page wena-lcd.3.gz)
    else()
      set(page wena.3.gz)
    endif()
    file(CREATE_LINK ${page} ${PROJECT_BINARY_DIR}/man/${call}.3.gz SYMBOLIC)
    install(FILES ${PROJECT_BINARY_DIR}/man/${call}.3.gz DESTINATION share/man/man3)
  endforeach()
endif()

set(WENA_MAINTAINER "wena maintainers <wena@example.org>" CACHE STRING
  "Who answers for the Debian package: its Maintainer field and changelog")
# Debian wants the licence as copyright and a compressed changelog beside
# the documentation.
file(READ LICENSE wena_licence)
# The notice names the year the project began, as Debian's copyright files do.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/copyright
  "wena: the H8/3664F training board, simulated in a text terminal.\n\n"
  "Copyright 2026 the wena authors\n\n${wena_licence}")
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/copyright DESTINATION share/doc/wena)
find_program(WENA_GZIP gzip)
if(WENA_GZIP)
  configure_file(cmake/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
  execute_process(COMMAND ${WENA_GZIP} -9nc INPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog
    OUTPUT_FILE ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz DESTINATION share/doc/wena)
endif()

set(CPACK_PACKAGE_NAME wena)
set(CPACK_PACKAGE_VENDOR "wena")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "H8/3664F training board simulated in a text terminal")
set(CPACK_PACKAGE_DESCRIPTION "The wena library and wena.h to build students' board programs against
(pkg-config or find_package), the demo game wena-demo, the grader
wena-grade and the example programs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${WENA_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The programs' own libraries are found by dpkg-shlibdeps; a board program
# links the library, built by g++, with libstdc++.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "gcc, g++")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkg-config, cmake")
# Debug information stays in the build tree; the lab gets small programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
include(CPack)
