#!/bin/sh
# Runs a command on a terminal of its own (a private tmux server, 80x25) and
# passes on its output and exit status: wine gives a console only to a
# program started on a terminal.
set -eu
dir=$(mktemp -d)
socket="wena-terminal-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$dir"' EXIT
command=""
for word in "$@"; do
  command="$command '$(printf '%s' "$word" | sed "s/'/'\\\\''/g")'"
done
tmux -L "$socket" -f /dev/null new-session -d -x 80 -y 25 \
  "$command > '$dir/output' 2>&1; echo \$? > '$dir/status.new'; mv '$dir/status.new' '$dir/status'"
waited=0
while [ ! -e "$dir/status" ]; do
  if [ "$waited" -ge 1200 ]; then
    cat "$dir/output"
    echo "in_terminal.sh: no end after 240 s" >&2
    exit 1
  fi
  sleep 0.2
  waited=$((waited + 1))
done
cat "$dir/output"
exit "$(cat "$dir/status")"
