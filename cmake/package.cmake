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
install(FILES README.md docs/board.md DESTINATION share/doc/wena)

set(CPACK_PACKAGE_NAME wena)
set(CPACK_PACKAGE_VENDOR "wena")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "H8/3664F training board simulated in a text terminal, for students' board programs")
set(CPACK_PACKAGE_DESCRIPTION "The wena library and wena.h to build board programs against (pkg-config or find_package), the demo game wena-demo, the grader wena-grade and the example programs.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "wena developers <wena@localhost>")
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
