#!/usr/bin/env bash
# Runs one test program on an X server of its own, so that tests running side by side never
# take the keyboard focus, the pointer or a grab from each other, and with settings, data, cache
# and runtime folders of its own, so that they never read or replace each other's settings or
# meet at each other's sockets.
#
# With VT_WINDOW_MANAGER=1 in the environment, openbox manages the windows on that server
# (stacking, focus, the work area), as on a desktop. VT_SCREEN_SIZE (e.g. 1366x768) gives the
# screen another size than 1280x1024.
set -u
home=$(mktemp -d)
chmod 700 "$home"
mkdir -p "$home/config" "$home/data" "$home/cache" "$home/runtime"
chmod 700 "$home/runtime"
export XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache"
export XDG_RUNTIME_DIR="$home/runtime"
# No bridge to the accessibility bus: GTK would wait on D-Bus for it at start-up, and a busy or
# half-started session bus can hold a test there for minutes. The accessible objects themselves
# stay, so tests can still read them.
export NO_AT_BRIDGE=1
# The tests' sizes and pixels are measured in DejaVu: the generic families (and so the interface's
# font) stay DejaVu's whatever other fonts are installed; those still fill in other scripts.
FONTCONFIG_FILE="$(cd "$(dirname "$0")" && pwd)/fonts.conf"
export FONTCONFIG_FILE
fifo=$(mktemp -u)
mkfifo "$fifo"
size=${VT_SCREEN_SIZE:-1280x1024}
case "$size" in
[0-9]*x[0-9]*) ;;
*) size=1280x1024 ;;
esac
# -noreset: an X server resets itself when its last client leaves and refuses connections while
# it does; a test's tools come and go, so a program starting at that moment could not open the
# display (and ended with status 1).
Xvfb -displayfd 5 -screen 0 "${size}x24" -nolisten tcp -noreset 5>"$fifo" 2>/dev/null &
xpid=$!
read -r num <"$fifo"
rm -f "$fifo"
if [ -z "${num:-}" ]; then
    echo "own-display: Xvfb did not start" >&2
    rm -rf "$home"
    exit 1
fi
export DISPLAY=":$num"
wmpid=
if [ "${VT_WINDOW_MANAGER:-}" = 1 ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    wmpid=$!
    # Wait until it has taken the screen (it names itself on the root window).
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.05
    done
fi
"$@"
rc=$?
if [ -n "$wmpid" ]; then
    kill "$wmpid" 2>/dev/null
    wait "$wmpid" 2>/dev/null
fi
# An X server that does not end on SIGTERM within 5 s is killed: it must never hold the run.
# It ends within milliseconds as a rule: looked at every 10 ms, not to add a tenth of a second
# to each of the suite's thousands of tests.
kill "$xpid" 2>/dev/null
for _ in $(seq 500); do
    kill -0 "$xpid" 2>/dev/null || break
    sleep 0.01
done
kill -9 "$xpid" 2>/dev/null
wait "$xpid" 2>/dev/null
rm -rf "$home"
exit $rc
