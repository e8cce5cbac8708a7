#!/usr/bin/env bash
# Installs wena into a temporary prefix and builds the example against it
# twice, with find_package(wena) and with pkg-config, as a student would.
# Each program is run with piped keys: I, O, V choose boards, Q quits with 1.
set -euo pipefail
build_dir=$1
source_dir=$2
# The compiler the library was built with, as the student would have it.
cc=$(sed -n 's/^CMAKE_C_COMPILER:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --install "$build_dir" --prefix "$work/prefix" > /dev/null

mkdir "$work/cmake-user"
cp "$source_dir/examples/switches_to_leds.c" "$work/cmake-user/main.c"
cat > "$work/cmake-user/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(myboard C)
find_package(wena REQUIRED)
add_executable(myboard main.c)
target_link_libraries(myboard PRIVATE wena::wena)
CMAKE
cmake -S "$work/cmake-user" -B "$work/cmake-user/build" -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_C_COMPILER="$cc" > /dev/null
cmake --build "$work/cmake-user/build" > /dev/null

cflags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags wena)
[ "$cflags" = "-I$work/prefix/include " ] || { echo "pkg-config --cflags: '$cflags'"; exit 1; }
flags=$(PKG_CONFIG_PATH="$work/prefix/lib/pkgconfig" pkg-config --cflags --libs wena)
# shellcheck disable=SC2086
"$cc" "$source_dir/examples/switches_to_leds.c" $flags -o "$work/pkgconfig-user"

for program in "$work/cmake-user/build/myboard" "$work/pkgconfig-user"; do
  mkdir -p "$work/run" && cd "$work/run" && rm -f WENA.ini
  status=0
  printf 'IOVq' | "$program" > /dev/null || status=$?
  [ "$status" = 1 ] || { echo "$program: exit status $status, expected 1"; exit 1; }
  [ "$(cat WENA.ini)" = "1,11,21" ] || { echo "$program: WENA.ini holds '$(cat WENA.ini)'"; exit 1; }
done
echo "both builds of the example ran"
