#!/usr/bin/env bash
# Builds the Debian package from the build tree, lists it, unpacks it without
# installing, has lintian check it where lintian is installed, and uses the
# unpacked files as a lab machine would: a board program built with
# pkg-config, graded by the packaged wena-grade, and the packaged demo and
# example started with a scenario.
set -euo pipefail
build_dir=$1
source_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build_dir" && cpack -G DEB -B "$work/out" > "$work/cpack.log") || { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/out/wena_*.deb)
dpkg-deb -c "$deb" | awk '{print $6}' | sort > "$work/contents"
cat "$work/contents"
for path in ./usr/lib/libwena.a ./usr/include/wena.h ./usr/lib/cmake/wena/wenaConfig.cmake \
            ./usr/lib/pkgconfig/wena.pc ./usr/bin/wena-demo ./usr/bin/wena-grade \
            ./usr/share/wena/examples/stepper.c ./usr/lib/wena/examples/stepper \
            ./usr/share/man/man1/wena-grade.1.gz ./usr/share/man/man1/wena-demo.1.gz \
            ./usr/lib/wena/examples/vending-controller ./usr/share/doc/wena/copyright \
            ./usr/share/doc/wena/changelog.gz; do
  grep -qx "$path" "$work/contents" || { echo "missing from the package: $path"; exit 1; }
done

if command -v lintian > /dev/null; then
  # The one warning let through is explained in .ci/run.
  lintian --allow-root --fail-on error,warning --suppress-tags pkg-config-unavailable-for-cross-compilation "$deb" \
    || { echo "lintian finds errors or warnings in the package"; exit 1; }
fi

dpkg-deb -x "$deb" "$work/root"
usr=$work/root/usr
for path in ./usr/share/man/man3/wena.3.gz ./usr/share/man/man3/wena-lcd.3.gz ./usr/share/man/man3/lcd_goto.3.gz \
            ./usr/share/doc/wena/docs/programs.md; do
  grep -qx "$path" "$work/contents" || { echo "missing from the package: $path"; exit 1; }
done
# Every file once: the same file under two names is one that drifts apart.
twice=$(find "$usr" -type f -exec sha256sum {} + | sort | uniq -w64 -D | cut -c67-)
[ -z "$twice" ] || { echo "the same file installed more than once:"; echo "$twice"; exit 1; }
# Each page as man shows it, and a call's name that leads to its page: man
# passes groff's warnings on, each a mistake in the page.
if command -v man > /dev/null; then
  for page in man1/wena-grade.1.gz man1/wena-demo.1.gz man3/wena.3.gz man3/wena-lcd.3.gz man3/lcd_goto.3.gz; do
    LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/$page" > "$work/man.txt" 2> "$work/man.log"
    [ ! -s "$work/man.log" ] || { echo "man -l $page:"; cat "$work/man.log"; exit 1; }
    grep -q . "$work/man.txt" || { echo "man -l $page shows nothing"; exit 1; }
  done
fi
"$usr/bin/wena-grade" --version
grep -qx 'prefix=/usr' "$usr/lib/pkgconfig/wena.pc" || { echo "wena.pc names no /usr prefix"; exit 1; }
# Unpacked, not installed: pkg-config takes the prefix from where the file lies.
flags=$(PKG_CONFIG_PATH="$usr/lib/pkgconfig" pkg-config --define-prefix --cflags --libs wena)
# shellcheck disable=SC2086
gcc "$usr/share/wena/examples/switches_to_leds.c" $flags -o "$work/myboard"

mkdir "$work/class" && cd "$work/class"
printf 'start boards 1 11 0\nkeys 13\nwait 100\ncheck PDR8 == 0x0A\n' > leds.scn
"$usr/bin/wena-grade" "$work/myboard" leds.scn
# A student's source, compiled by the packaged grader against the packaged library.
"$usr/bin/wena-grade" "$usr/share/wena/examples/switches_to_leds.c" leds.scn
printf 'start boards 0 15 0\nwait 100\ncheck PDR8 == 0x11\n' > stepper.scn
WENA_SCENARIO=stepper.scn "$usr/lib/wena/examples/stepper" < /dev/null > /dev/null
printf 'start boards 1 0 0\nwait until lcd 0 contains "SW3" within 3000\n' > demo.scn
WENA_SCENARIO=demo.scn "$usr/bin/wena-demo" < /dev/null > /dev/null
echo "the unpacked package builds, grades and runs board programs"
