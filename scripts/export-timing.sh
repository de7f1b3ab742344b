#!/usr/bin/env bash
# Times "Spara som... > Pdf" and "Spara som... > Bild" through the main window as a user runs
# them: the program is started on an X server of its own (tests/support/own-display.sh), the menu
# bar is driven with xdotool, the target's path is typed into the file panel, and the time from
# the Return in the panel until the file is whole (its size unchanged for 50 ms) is printed, the
# least of the runs for each. The export job alone is timed by bench/main_dialog_bench.
#
#   scripts/export-timing.sh [build folder] [project.vtproj] [runs]
#
# Without a project a new CD project is exported.
set -u
if [ -z "${VT_EXPORT_TIMING_INNER:-}" ]; then
    here=$(cd "$(dirname "$0")/.." && pwd)
    export VT_EXPORT_TIMING_INNER=1
    exec "$here/tests/support/own-display.sh" "$0" "$(cd "${1:-$here/build}" && pwd)" \
        "$(realpath "${2:-}" 2>/dev/null || true)" "${3:-5}"
fi
build=$1
project=$2
runs=$3
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

now() { date +%s.%N; }

# Waits until the file exists and its size stays the same for 50 ms.
whole() {
    local last=-1 size
    for _ in $(seq 1 2000); do
        size=$(stat -c %s "$1" 2>/dev/null || echo -1)
        if [ "$size" -gt 0 ] && [ "$size" = "$last" ]; then return 0; fi
        last=$size
        sleep 0.05
    done
    return 1
}

# One export through the menu: the key path after F10 and the panel's title; prints seconds.
export_once() {
    local keys=$1 title=$2 target=$3 id start end
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
    start=$(now)
    xdotool key --clearmodifiers Return
    whole "$target" || { echo "no file $target" >&2; return 1; }
    end=$(now)
    # The size check waited 50 ms after the last change.
    echo "$end - $start - 0.05" | bc
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
