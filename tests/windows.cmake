# The Windows build's tests: the suites that need no POSIX terminal or
# process control, and the Windows console's own. Cross-built, they run as
# one program under wine, since each start of wine takes a second or two.
find_package(GTest QUIET)
if(NOT GTest_FOUND)
  # Debian's googletest package carries the sources; they build with mingw-w64.
  set(WENA_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources, built along when GoogleTest is not installed")
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(${WENA_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

add_executable(wena-tests
  programs/probe_picture.cpp
  support/capture.cpp
  support/cp932_text.cpp
  support/golden.cpp
  support/pauses.cpp
  console_test.cpp
  cp932_test.cpp
  key_chars_test.cpp
  frame_test.cpp
  poll_test.cpp
  input_boards_test.cpp
  output_boards_test.cpp
  vending_test.cpp
  lcd_format_test.cpp
  lcd_test.cpp
  script_test.cpp
  windows_console_test.cpp
)
target_link_libraries(wena-tests PRIVATE wena GTest::gtest_main)
target_include_directories(wena-tests PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(wena-tests PRIVATE GOLDEN_DIR="${CMAKE_CURRENT_SOURCE_DIR}/golden")
wena_warnings(wena-tests)
add_test(NAME wena-tests COMMAND wena-tests --gtest_filter=-WindowsConsole.*)
if(CMAKE_CROSSCOMPILING)
  # wine gives a console only to a program started on a terminal.
  add_test(NAME wena-console-tests COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/in_terminal.sh
    ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:wena-tests> --gtest_filter=WindowsConsole.*)
else()
  add_test(NAME wena-console-tests COMMAND wena-tests --gtest_filter=WindowsConsole.*)
endif()

# For the Ctrl-C and watchdog tests under wine: paints without pause.
add_executable(paints-without-pause programs/paints_without_pause.c)
target_link_libraries(paints-without-pause PRIVATE wena)
wena_warnings(paints-without-pause)
# Ends without exit handlers: abort, assert, an uncaught exception, ExitProcess.
add_executable(ends-badly programs/ends_badly.cpp)
target_link_libraries(ends-badly PRIVATE wena)
wena_warnings(ends-badly)

# One's own program against the installed copy: find_package and pkg-config.
add_test(NAME wena-cross-build COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/scripts/cross_build_check.sh
  ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})

# H under wine: the build tree's sources and an installed copy's prefix, as
# the program sees them, and no POSIX path of the build machine.
if(CMAKE_CROSSCOMPILING AND CMAKE_CROSSCOMPILING_EMULATOR)
  add_test(NAME HelpKeyNamesTheProgramsOwnCopy COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/help_check.sh
    ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})
endif()

# The README's Clang command for Windows, as printed.
if(CMAKE_CROSSCOMPILING)
  find_program(WENA_CLANG_FOR_README NAMES clang)
  if(WENA_CLANG_FOR_README)
    add_test(NAME ReadmeClangCommandBuildsForWindows COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/scripts/readme_clang_windows.sh
      ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${CMAKE_CROSSCOMPILING_EMULATOR})
  endif()
endif()

# The example compiled by Clang for the same target and linked with the
# library g++ built, as with LLVM's mingw toolchain; the WindowsBuild tests
# of the POSIX build compare what it shows under wine.
find_program(WENA_CLANG NAMES clang clang-14)
if(CMAKE_CROSSCOMPILING AND WENA_CLANG)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++.a
    OUTPUT_VARIABLE WENA_MINGW_LIBSTDCXX OUTPUT_STRIP_TRAILING_WHITESPACE)
  get_filename_component(WENA_MINGW_GCC_LIBS ${WENA_MINGW_LIBSTDCXX} DIRECTORY)
  set(clang_example ${PROJECT_BINARY_DIR}/switches-to-leds-clang.exe)
  set(werror $<$<BOOL:${WENA_WERROR}>:-Werror>)
  add_custom_command(OUTPUT ${clang_example}
    COMMAND ${WENA_CLANG} --target=x86_64-w64-mingw32 -Wall -Wextra -Wpedantic ${werror}
      -I${PROJECT_SOURCE_DIR}/include ${PROJECT_SOURCE_DIR}/examples/switches_to_leds.c $<TARGET_FILE:wena>
      -L${WENA_MINGW_GCC_LIBS} -lstdc++ -Wl,--start-group -lgcc -lgcc_eh -lpthread -Wl,--end-group -lwinmm
      -static -o ${clang_example}
    DEPENDS wena ${PROJECT_SOURCE_DIR}/examples/switches_to_leds.c ${PROJECT_SOURCE_DIR}/include/wena.h
    COMMAND_EXPAND_LISTS VERBATIM)
  add_custom_target(switches-to-leds-clang ALL DEPENDS ${clang_example})
endif()
