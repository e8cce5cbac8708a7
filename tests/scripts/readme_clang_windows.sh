#!/usr/bin/env bash
# The Windows guide's Clang command, run as printed against an
# installed Windows copy in a scratch $HOME/wena-windows: the program must
# link, need no MinGW runtime DLL and, under wine when there is one, pass a
# scenario. Arguments: the Windows build tree, the source tree, the emulator.
set -euo pipefail
build=$1 source=$2 emulator=${3:-}
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

cmake --install "$build" --prefix "$home/wena-windows" > /dev/null
# The sh block of the Windows section that calls clang.
block=$(awk '/^```sh/{inside=1; text=""; next}
             inside && /^```/{inside=0; if (text ~ /clang --target=x86_64-w64-mingw32/) {printf "%s", text; exit}; next}
             inside {text = text $0 "\n"}' "$source/docs/windows.md")
[ -n "$block" ] || { echo "no clang command in docs/windows.md"; exit 1; }
printf 'the guide'"'"'s commands:\n%s' "$block"

cp "$source/examples/switches_to_leds.c" "$home/myboard.c"
(cd "$home" && HOME=$home bash -euo pipefail -c "$block")
[ -f "$home/myboard.exe" ] || { echo "no myboard.exe"; exit 1; }
if x86_64-w64-mingw32-objdump -p "$home/myboard.exe" | grep -i -E 'DLL Name: (libstdc|libgcc|libwinpthread)'; then
  echo "myboard.exe needs a MinGW runtime DLL"; exit 1
fi
if [ -n "$emulator" ]; then
  printf 'keys IO\ncheck boards == 1 11 0\n' > "$home/run.scn"
  (cd "$home" && printf '0,0,0' > WENA.ini && WENA_SCENARIO=run.scn "$emulator" myboard.exe > /dev/null)
fi
echo "the guide's Clang command builds a program that runs alone"
