#!/usr/bin/env bash
# A student's first program in a fresh copy of the sources, as the README
# puts it: configure as its first command does, add myboard.c and the two
# lines it gives to CMakeLists.txt, then its build command. Every build step
# must be the library's or the program's, and the program must run.
set -euo pipefail
source_dir=$1
work=$(mktemp -d /tmp/wena-student-XXXXXX)
trap 'rm -rf "$work"' EXIT

if git -C "$source_dir" rev-parse --git-dir > /dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar cf -) | tar xf - -C "$work"
else
  tar cf - -C "$source_dir" --exclude='./build*' --exclude=WENA.ini . | tar xf - -C "$work"
fi
cd "$work"
# From "Save it as `myboard.c`" to the paragraph after the build command.
section=$(awk '/^Save it as `myboard.c`/{inside=1} inside && /^A board change/{exit} inside' README.md)
lines=$(printf '%s\n' "$section" | awk '/^```cmake/{inside=1; next} inside && /^```/{exit} inside')
command=$(printf '%s\n' "$section" | tr '\n' ' ' | sed -n 's/.*then `\([^`]*\)`.*/\1/p')
echo "the README's lines: $lines"
echo "the README's command: $command"
[ -n "$lines" ] && [ -n "$command" ] || { echo "no lines or no command in the README"; exit 1; }

cp examples/switches_to_leds.c myboard.c
printf '%s\n' "$lines" >> CMakeLists.txt
cmake -S . -B build -G Ninja > configure.log
if ninja -C build -t targets all | grep -q 'wena-tests'; then
  echo "the tests are configured by default"; exit 1
fi

status=0
printf 'q' | bash -c "$command" > output 2>&1 || status=$?
[ "$status" = 1 ] || { echo "exit status $status, expected 1 (Q)"; cat output; exit 1; }
grep -E '^\[[0-9]+/[0-9]+\] ' output > steps || true
others=$(grep -v -E 'CMakeFiles/wena\.dir/|libwena\.a|CMakeFiles/myboard\.dir/|Linking (C|CXX) executable myboard$' steps || true)
[ -z "$others" ] || { echo "steps for other targets:"; echo "$others"; exit 1; }
objects=$(grep -c 'CMakeFiles/wena\.dir/' steps || true)
sources=$(ninja -C build -t query libwena.a | grep -c '\.o$' || true)
[ "$objects" = "$sources" ] && [ "$objects" -gt 0 ] \
  || { echo "$objects library objects built, the library has $sources"; cat steps; exit 1; }
grep -q -E 'Linking (C|CXX) executable myboard$' steps || { echo "myboard was not linked"; cat steps; exit 1; }
echo "$(wc -l < steps) steps: the library's $objects objects, its archive and myboard"
