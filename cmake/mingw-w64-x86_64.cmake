# Cross-building for 64-bit Windows with Debian's mingw-w64
# (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The programs are linked statically, so each .exe runs alone on Windows, or
# here under wine, which also runs the tests when it is installed. A copy is
# installed beside wenaConfig.cmake, for one's own program built against an
# installed Windows copy found through CMAKE_PREFIX_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(WENA_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${WENA_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${WENA_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${WENA_MINGW_PREFIX}-windres)

# Libraries and packages come from the MinGW root and from the prefixes the
# user names (an installed Windows copy of wena), never from the host's /usr.
# A prefix that is a root of its own is searched as it is.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${WENA_MINGW_PREFIX} ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(WENA_WINE NAMES wine64 wine)
if(WENA_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${WENA_WINE})
endif()
