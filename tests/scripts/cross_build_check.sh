#!/bin/sh
# A student's own program cross-built against an installed Windows copy of
# wena, as the README shows: with find_package and the installed toolchain
# file, and with pkg-config. Each program must run alone (no MinGW runtime
# DLL named in its imports) and, under wine when there is one, pass a
# scenario. Arguments: the Windows build tree, the source tree, the emulator.
set -eu
build=$1 source=$2 emulator=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix="$work/wena-windows"

cmake --install "$build" --prefix "$prefix" >/dev/null
mkdir "$work/student"
cp "$source/examples/switches_to_leds.c" "$work/student/main.c"
cat > "$work/student/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.22)
project(student C)
find_package(wena REQUIRED)
add_executable(student main.c)
target_link_libraries(student PRIVATE wena::wena)
CMAKE
cmake -S "$work/student" -B "$work/student/build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$prefix/lib/cmake/wena/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/student/build" >/dev/null

PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH="" \
  sh -c 'x86_64-w64-mingw32-gcc-posix "$1" -o "$2" $(pkg-config --cflags --libs wena)' \
  sh "$work/student/main.c" "$work/student/with-pkg-config.exe"

printf 'keys I\ncheck boards == 1 0 0\n' > "$work/student/run.scn"
for program in "$work/student/build/student.exe" "$work/student/with-pkg-config.exe"; do
  if x86_64-w64-mingw32-objdump -p "$program" | grep -i -E 'DLL Name: (libstdc|libgcc|libwinpthread)'; then
    echo "$program needs a MinGW runtime DLL" >&2
    exit 1
  fi
  if [ -n "$emulator" ]; then
    (cd "$work/student" && printf '0,0,0' > WENA.ini && WENA_SCENARIO=run.scn "$emulator" "$program" > /dev/null)
  fi
done
echo "find_package and pkg-config both build a program that runs alone"
