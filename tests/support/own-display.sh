#!/usr/bin/env bash
# Runs one test program on an X server of its own, so that tests running side by side never
# take the keyboard focus, the pointer or a grab from each other, and with settings, data, cache
# and runtime folders of its own, so that they never read or replace each other's settings or
# meet at each other's sockets.
#
# With VT_WINDOW_MANAGER=1 in the environment, openbox manages the windows on that server
# (stacking, focus, the work area), as on a desktop; with VT_WINDOW_MANAGER=xfwm4, xfwm4 does
# (it keeps its settings through the session bus). VT_SCREEN_SIZE (e.g. 1366x768) gives the
# screen another size than 1280x1024. VT_MONITORS=2 gives two monitors of that size side by
# side, the left one primary (VT_PRIMARY=right: the right one), on Xorg with its dummy video
# driver instead of Xvfb. With VT_DISPLAY=none, and when the tests are only listed, the program
# runs with no display at all (the tests of the layers below the windows; an X server's start
# costs each test a third of a second).
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
no_display=${VT_DISPLAY:-}
for a in "$@"; do
    [ "$a" = --gtest_list_tests ] && no_display=none
done
if [ "$no_display" = none ]; then
    unset DISPLAY WAYLAND_DISPLAY
    "$@"
    rc=$?
    rm -rf "$home"
    exit $rc
fi
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
width=${size%x*}
height=${size#*x}
if [ "${VT_MONITORS:-1}" = 2 ]; then
    server=Xorg
    # Room for both monitors; the outputs' modes are made by xrandr below.
    printf '%s\n' 'Section "ServerFlags"' '    Option "AutoAddDevices" "false"' \
        '    Option "AutoEnableDevices" "false"' '    Option "DontVTSwitch" "true"' 'EndSection' \
        'Section "Device"' '    Identifier "card"' '    Driver "dummy"' \
        "    VideoRam $((2 * width * height * 4 / 1024 + 4096))" 'EndSection' \
        'Section "Monitor"' '    Identifier "monitor"' '    HorizSync 1.0-2000.0' \
        '    VertRefresh 1.0-200.0' 'EndSection' \
        'Section "Screen"' '    Identifier "screen"' '    Device "card"' '    Monitor "monitor"' \
        '    DefaultDepth 24' '    SubSection "Display"' '        Depth 24' \
        "        Virtual $((2 * width)) $height" '    EndSubSection' 'EndSection' \
        >"$home/xorg.conf"
    Xorg -displayfd 5 -config "$home/xorg.conf" -logfile "$home/xorg.log" -nolisten tcp \
        -noreset -novtswitch -sharevts 5>"$fifo" 2>/dev/null &
else
    server=Xvfb
    Xvfb -displayfd 5 -screen 0 "${size}x24" -nolisten tcp -noreset 5>"$fifo" 2>/dev/null &
fi
xpid=$!
read -r num <"$fifo"
rm -f "$fifo"
if [ -z "${num:-}" ]; then
    echo "own-display: $server did not start" >&2
    rm -rf "$home"
    exit 1
fi
export DISPLAY=":$num"
if [ "$server" = Xorg ]; then
    # Two outputs side by side, each in a mode of the screen's size (its timing made up: the
    # dummy driver takes any that its monitor's ranges allow).
    mode="${width}x${height}"
    clock=$(((width + 3) * (height + 3) * 60 / 1000))
    clock="$((clock / 1000)).$(printf '%03d' $((clock % 1000)))"
    primary=DUMMY0
    [ "${VT_PRIMARY:-left}" = right ] && primary=DUMMY1
    {
        xrandr --newmode "$mode" "$clock" "$width" $((width + 1)) $((width + 2)) \
            $((width + 3)) "$height" $((height + 1)) $((height + 2)) $((height + 3))
        xrandr --addmode DUMMY0 "$mode" && xrandr --addmode DUMMY1 "$mode" &&
            xrandr --fb "$((2 * width))x$height" --output DUMMY0 --mode "$mode" --pos 0x0 \
                --output DUMMY1 --mode "$mode" --pos "${width}x0" --output "$primary" --primary
    } >/dev/null 2>&1
    if [ "$(xrandr --listmonitors 2>/dev/null | head -n 1)" != "Monitors: 2" ]; then
        echo "own-display: Xorg did not show two monitors" >&2
        kill "$xpid" 2>/dev/null
        wait "$xpid" 2>/dev/null
        rm -rf "$home"
        exit 1
    fi
fi
wmpid=
if [ "${VT_WINDOW_MANAGER:-}" = xfwm4 ]; then
    xfwm4 --compositor=off --sm-client-disable >/dev/null 2>&1 &
    wmpid=$!
elif [ "${VT_WINDOW_MANAGER:-}" = 1 ]; then
    openbox --sm-disable >/dev/null 2>&1 &
    wmpid=$!
fi
if [ -n "$wmpid" ]; then
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
