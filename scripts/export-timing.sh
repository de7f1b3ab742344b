#!/usr/bin/env bash
# Times "Spara som... > Pdf" and "Spara som... > Bild" through the main window as a user runs
# them: the program is started on an X server of its own (tests/support/own-display.sh), the menu
# bar is driven with xdotool, the target's path is typed into the file panel, and the time from
# the Return in the panel until the file has reached its final size is printed, the least of the
# runs for each. The export jobs alone, of the same new CD project, are timed by
# bench/main_dialog_bench (BM_NewCdProjectPdfJob, BM_NewCdProjectImageJob).
#
#   scripts/export-timing.sh [build folder] [project.vtproj] [runs]
#
# Without a project a new CD project is exported.
set -u
if [ -z "${VT_EXPORT_TIMING_INNER:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    export VT_EXPORT_TIMING_INNER=1
    # With a session bus of its own, as on a desktop: GTK's file chooser keeps its settings
    # through it (without one each write tries to start a bus first).
    session=()
    command -v dbus-run-session >/dev/null && session=(dbus-run-session --)
    exec "$here/tests/support/own-display.sh" "${session[@]}" "$0" \
        "$(cd "${1:-$here/build}" && pwd)" "$(realpath "${2:-}" 2>/dev/null || true)" "${3:-5}"
fi
build=$1
project=$2
runs=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

# Presses Return in the file panel and waits until the target is whole: it exists and its size has
# not changed for 0.3 s, looked at every 2 ms. Prints the seconds from the key press until the
# file reached its final size.
return_and_wait() {
    python3 - "$1" <<'PY'
import os, subprocess, sys, time
target = sys.argv[1]
start = time.monotonic()
subprocess.run(["xdotool", "key", "--clearmodifiers", "Return"], check=True)
last_size, last_change = -1, start
while time.monotonic() - start < 100:
    try:
        size = os.stat(target).st_size
    except FileNotFoundError:
        size = -1
    now = time.monotonic()
    if size != last_size:
        last_size, last_change = size, now
    elif size > 0 and now - last_change >= 0.3:
        print("%.3f" % (last_change - start))
        sys.exit(0)
    time.sleep(0.002)
sys.exit(1)
PY
}

# One export through the menu: the key path after F10 and the panel's title; prints seconds.
export_once() {
    local keys=$1 title=$2 target=$3 id
    id=$(xdotool search --onlyvisible --name '^Vorantel av ZOR Software' | head -1)
    xdotool windowfocus --sync "$id" key --clearmodifiers --delay 60 $keys
    for _ in $(seq 1 100); do
        xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 && break
        sleep 0.1
    done
    sleep 0.5
    xdotool key --clearmodifiers ctrl+a
    xdotool type --delay 10 "$target"
    sleep 0.3
    return_and_wait "$target" || { echo "no file $target" >&2; return 1; }
    sleep 1
}

if [ -n "$project" ]; then
    "$build/vorantel" "$project" >/dev/null 2>&1 &
    down="Down Down Down" # "Spara" is off for a project just opened
else
    "$build/vorantel" -new cd >/dev/null 2>&1 &
    down="Down Down Down Down"
fi
pid=$!
for _ in $(seq 1 150); do
    xdotool search --onlyvisible --name '^Vorantel av ZOR Software' >/dev/null 2>&1 && break
    sleep 0.2
done
sleep 2
pdf= image=
for i in $(seq 1 "$runs"); do
    t=$(export_once "F10 Right $down Right Down Return" "Spara som PDF" "$out/pdf$i.pdf") &&
        pdf="$pdf $t"
    t=$(export_once "F10 Right $down Right Down Down Return" "Exportera till bild" \
        "$out/image$i.png") && image="$image $t"
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
least() { tr ' ' '\n' | grep . | sort -n | head -1; }
echo "pdf runs (s):  $pdf"
echo "pdf least (s): $(echo "$pdf" | least)"
echo "image runs (s):  $image"
echo "image least (s): $(echo "$image" | least)"
