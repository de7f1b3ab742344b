#!/usr/bin/env bash
# Runs one test program on an X server of its own, so that tests running side by side never
# take the keyboard focus, the pointer or a grab from each other.
set -u
fifo=$(mktemp -u)
mkfifo "$fifo"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$fifo" 2>/dev/null &
xpid=$!
read -r num <"$fifo"
rm -f "$fifo"
if [ -z "${num:-}" ]; then
    echo "own-display: Xvfb did not start" >&2
    exit 1
fi
export DISPLAY=":$num"
"$@"
rc=$?
kill "$xpid" 2>/dev/null
wait "$xpid" 2>/dev/null
exit $rc
