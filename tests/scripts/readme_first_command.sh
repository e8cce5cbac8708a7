#!/usr/bin/env bash
# Types the README's first command into a terminal in a fresh copy of the
# sources (no build tree, no WENA.ini): the game must come up with the
# switch board and the title menu, and start from the keyboard.
set -euo pipefail
source_dir=$1
work=$(mktemp -d /tmp/wena-readme-XXXXXX)
socket=wena-readme-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT

if git -C "$source_dir" rev-parse --git-dir > /dev/null 2>&1; then
  (cd "$source_dir" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar cf -) | tar xf - -C "$work"
else
  tar cf - -C "$source_dir" --exclude='./build*' --exclude=WENA.ini . | tar xf - -C "$work"
fi
command=$(awk '/^```sh/{inside=1; next} inside && /^```/{exit} inside && NF && !/^#/{print; exit}' "$work/README.md")
echo "README's first command: $command"

tmux -L "$socket" new-session -d -x 80 -y 25 "cd '$work' && $command; echo \$? > status; sleep 600"
screen() { LC_ALL=C.UTF-8 tmux -L "$socket" capture-pane -p; }
wait_for() {  # a pattern on the screen, or fail after $2 seconds
  for ((i = 0; i < $2 * 10; i++)); do
    screen | grep -q -- "$1" && return 0
    sleep 0.1
  done
  echo "not seen within $2 s: $1"; screen; exit 1
}

# The build may take minutes on a busy machine; a build that fails ends the
# wait at once, and a built game has seconds to show its title.
for ((i = 0; i < 6000; i++)); do
  [ -x "$work/build/wena-demo" ] && break
  [ -s "$work/status" ] && { echo "the command ended before the game started"; screen; exit 1; }
  sleep 0.1
done
[ -x "$work/build/wena-demo" ] || { echo "no game built within 600 s"; screen; exit 1; }
wait_for 'ｽﾀｰﾄ : SW3' 20
screen | grep -q 'ｷﾉｳｾﾂﾒｲ : SW2'
screen | sed -n 2p | grep -q '^  SWITCH' || { echo "no switch board"; screen; exit 1; }
[ "$(cat "$work/WENA.ini")" = "1,0,0" ]

tmux -L "$socket" send-keys 3
wait_for 'PDR5 08 (00001000)' 5
# Play, half a second in: the player in LCD column 10 (screen column 71),
# the first obstacles, and the score at the end of the lower line.
sleep 0.5
screen | sed -n 15,16p | cut -c72 | grep -q W || { echo "no player"; screen; exit 1; }
screen | sed -n 15,16p | grep -q 'A' || { echo "no obstacle"; screen; exit 1; }
screen | sed -n 16p | grep -q ' [1-9] *$' || { echo "no score"; screen; exit 1; }

tmux -L "$socket" send-keys q
for ((i = 0; i < 50; i++)); do [ -s "$work/status" ] && break; sleep 0.1; done
[ "$(cat "$work/status")" = 1 ]
echo "the game came up, started and quit"
