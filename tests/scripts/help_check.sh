#!/usr/bin/env bash
# H names the board.md of the running program's own copy: the sources of
# the build tree it lies in, the prefix it is installed under, the package a
# student's project was built against, and no build machine's path from an
# installed copy, not even when that copy's board.md is gone. Arguments: the
# build tree, the source tree, and for a Windows build the emulator (wine),
# under which a program sees the POSIX root as drive Z:.
set -euo pipefail
build_dir=$1
source_dir=$2
emulator=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exe=
[ -z "$emulator" ] || exe=.exe

shown() {  # a path as the program names it; the dump shows its byte 5C as the yen sign, as code page 932 has it
  if [ -n "$emulator" ]; then printf 'Z:%s' "$1" | sed 's|/|¥|g'; else printf '%s' "$1"; fi
}
printf 'start boards 1 0 0\nkeys h\nwait 100\ndump screen screen.txt\n' > "$work/help.scn"
help_line() {  # the screen's row 23 after H
  # shellcheck disable=SC2086
  (cd "$work" && rm -f screen.txt && WENA_SCENARIO=help.scn $emulator "$1" < /dev/null > /dev/null 2>&1) || true
  [ -f "$work/screen.txt" ] || { echo "$1 wrote no screen" >&2; exit 1; }
  sed -n 24p "$work/screen.txt" | sed 's/^ *//; s/ *$//'
}
expect() {  # program, line
  local line
  line=$(help_line "$1")
  [ "$line" = "$2" ] || { echo "$1 shows '$line', expected '$2'"; exit 1; }
}

expect "$build_dir/switches-to-leds$exe" "Help: $(shown "$source_dir/docs/board.md")"

prefix=$work/prefix
cmake --install "$build_dir" --prefix "$prefix" > /dev/null
[ -f "$prefix/share/doc/wena/docs/board.png" ] || { echo "the README's picture is not installed"; exit 1; }
installed="Help: $(shown "$prefix/share/doc/wena/docs/board.md")"
expect "$prefix/bin/wena-demo$exe" "$installed"
expect "$prefix/lib/wena/examples/switches-to-leds$exe" "$installed"

if [ -z "$emulator" ]; then
  # A student's CMake project against the installed copy.
  cc=$(sed -n 's/^CMAKE_C_COMPILER:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
  mkdir "$work/student"
  cp "$source_dir/examples/switches_to_leds.c" "$work/student/main.c"
  printf '%s\n' 'cmake_minimum_required(VERSION 3.16)' 'project(myboard C)' 'find_package(wena REQUIRED)' \
    'add_executable(myboard main.c)' 'target_link_libraries(myboard PRIVATE wena::wena)' > "$work/student/CMakeLists.txt"
  cmake -S "$work/student" -B "$work/student/build" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_C_COMPILER="$cc" > /dev/null
  cmake --build "$work/student/build" > /dev/null
  expect "$work/student/build/myboard" "$installed"
fi

if grep -q -F "$source_dir/docs" "$prefix/bin/wena-demo$exe"; then
  echo "the installed demo holds the sources' path"; exit 1
fi
rm "$prefix/share/doc/wena/docs/board.md"
line=$(help_line "$prefix/bin/wena-demo$exe")
case $line in
  *"$(shown "$source_dir")"*|*"$source_dir"*|"") echo "without its board.md the installed demo shows '$line'"; exit 1 ;;
esac
echo "each copy names its own board.md"
