#!/usr/bin/env bash
# Compiles a program that uses all of wena.h in every C and C++ standard,
# under GCC and Clang, with warnings as errors, and under Clang's
# -Weverything too. Every compiler found is tried; GCC and Clang must be.
set -euo pipefail
source_dir=$1
program=$source_dir/tests/programs/every_call.c
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# What -Weverything reports that no change to the header could avoid:
# -Wdisabled-macro-expansion: PDR5 and PDR8 are the board's names for both
#   the macros and the register fields they expand to (wena_registers.PDR5).
# -Wpadded: the two 8-bit ports come before the 32-bit A/D words; filling
#   the gap by hand would add a field a program could write.
everything="-Weverything -Wno-disabled-macro-expansion -Wno-padded"

failures=0
compile() {  # compiler, language, -std=... or -ansi, flags...
  local cc=$1 language=$2 standard=$3; shift 3
  if ! "$cc" -x "$language" "$standard" "$@" -Werror -O2 -c -I"$source_dir/include" \
      "$program" -o "$work/every_call.o" 2> "$work/messages"; then
    echo "FAILED: $cc -x $language $standard $*"
    head -20 "$work/messages"
    failures=$((failures + 1))
  fi
}

for pair in gcc:g++ clang:clang++; do
  cc=${pair%%:*} cxx=${pair##*:}
  command -v "$cc" > /dev/null && command -v "$cxx" > /dev/null || { echo "no $cc and $cxx"; exit 1; }
  for standard in c89 c99 c11 c17; do
    compile "$cc" c -std=$standard -Wall -Wextra -pedantic
  done
  compile "$cc" c -ansi -Wall -Wextra -pedantic
  for standard in c++11 c++14 c++17 c++20 c++2b; do
    compile "$cxx" c++ -std=$standard -Wall -Wextra -pedantic
  done
done
for standard in c89 c99 c11 c17; do
  # shellcheck disable=SC2086
  compile clang c -std=$standard $everything
done
for standard in c++11 c++14 c++17 c++20 c++2b; do
  # shellcheck disable=SC2086
  compile clang++ c++ -std=$standard $everything
done
[ "$failures" = 0 ] || { echo "$failures compilations failed"; exit 1; }
echo "wena.h compiled in every standard"
