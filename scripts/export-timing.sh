#!/usr/bin/env bash
# Times "Spara som... > Pdf" and "Spara som... > Bild" through the main window as a user runs
# them: the program is started on an X server of its own (tests/support/own-display.sh), the menu
# bar is driven with xdotool, the target's path is typed into the file panel, and the time from
# the Return in the panel (sent through XTest from the timing process itself, so that starting a
# tool is not counted) until the file has reached its final size is printed, the least of the
# runs for each.
#
# The same export jobs alone are timed by bench/main_dialog_bench at the same moment: after each
# round through the window, the matching job benchmarks run (one export per repetition, as the
# window does one), and the least of each side and their ratio are printed. The project is a new
# CD project (BM_NewCdProjectPdfJob, BM_NewCdProjectImageJob), or with "500" the project of 500
# overlays the benchmark program makes (BM_FiveHundredOverlaysPdfJob, ...ImageJob); any other
# project file is timed through the window only.
#
#   scripts/export-timing.sh [build folder] [project.vtproj | 500] [runs]
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
    project=${2:-}
    [ -n "$project" ] && [ "$project" != 500 ] && project=$(realpath "$project")
    exec "$here/tests/support/own-display.sh" "${session[@]}" "$0" \
        "$(cd "${1:-$here/build}" && pwd)" "$project" "${3:-5}"
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
import ctypes, ctypes.util, os, subprocess, sys, time
target = sys.argv[1]
# The key through XTest on a connection opened beforehand; xdotool where XTest is missing.
press = None
x11, xtst = ctypes.util.find_library("X11"), ctypes.util.find_library("Xtst")
if x11 and xtst:
    x11, xtst = ctypes.CDLL(x11), ctypes.CDLL(xtst)
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XStringToKeysym.restype = ctypes.c_ulong
    x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
    x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]
    display = x11.XOpenDisplay(None)
    if display:
        code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(b"Return"))
        def press():
            xtst.XTestFakeKeyEvent(display, code, 1, 0)
            xtst.XTestFakeKeyEvent(display, code, 0, 0)
            x11.XFlush(display)
start = time.monotonic()
if press:
    press()
else:
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

# The export jobs alone, one export each, as many as through the window: "pdf" or "image" and the
# seconds. Each job runs twice and the first run is left out: the window has drawn the project
# before its exports, the benchmark has only read it. Like the exports through the window, each run
# comes two seconds after the last, not straight after it.
jobs_once() {
    local which
    case "$project" in
    "") which=NewCdProject ;;
    500) which=FiveHundredOverlays ;;
    *) return 0 ;;
    esac
    [ -x "$build/main_dialog_bench" ] || return 0
    VT_EXPORT_JOB_PAUSE_MS=2000 "$build/main_dialog_bench" \
        --benchmark_filter="^BM_$which(Pdf|Image)Job" \
        --benchmark_min_time=0 --benchmark_repetitions=2 --benchmark_format=csv 2>/dev/null |
        awk -F, '/_mean|_median|_stddev|_cv/ { next }
            /PdfJob\/real_time"/ && ++pdf == 2 { printf "pdf %.3f\n", $3 / 1000 }
            /ImageJob\/real_time"/ && ++image == 2 { printf "image %.3f\n", $3 / 1000 }'
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

if [ "$project" = 500 ]; then
    project_file=$out/five-hundred.vtproj
    VT_FIVE_HUNDRED_PROJECT=$project_file "$build/main_dialog_bench" \
        --benchmark_filter='^BM_FiveHundredOverlaysPdfJob/' --benchmark_min_time=0 \
        >/dev/null 2>&1
    [ -s "$project_file" ] || { echo "no project of 500 overlays" >&2; exit 1; }
else
    project_file=$project
fi
if [ -n "$project_file" ]; then
    "$build/vorantel" "$project_file" >/dev/null 2>&1 &
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
pdf='' image='' jobpdf='' jobimage=''
for i in $(seq 1 "$runs"); do
    t=$(export_once "F10 Right $down Right Down Return" "Spara som PDF" "$out/pdf$i.pdf") &&
        pdf="$pdf $t"
    t=$(export_once "F10 Right $down Right Down Down Return" "Exportera till bild" \
        "$out/image$i.png") && image="$image $t"
    while read -r kind t; do
        case "$kind" in
        pdf) jobpdf="$jobpdf $t" ;;
        image) jobimage="$jobimage $t" ;;
        esac
    done < <(jobs_once)
done
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
least() { tr ' ' '\n' | grep . | sort -n | head -1; }
median() {
    tr ' ' '\n' | grep . | sort -n | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a != "" && b > 0) printf "%.2fx", a / b }'; }
report() {
    local name=$1 window=$2 job=$3
    echo "$name runs (s):  $window"
    echo "$name least (s): $(echo "$window" | least)"
    [ -n "$job" ] || return 0
    echo "$name job runs (s):  $job"
    echo "$name job least (s): $(echo "$job" | least)"
    local w j
    w=$(echo "$window" | least)
    j=$(echo "$job" | least)
    echo "$name window / job: least $(ratio "$w" "$j"), median" \
        "$(ratio "$(echo "$window" | median)" "$(echo "$job" | median)")"
}
report pdf "$pdf" "$jobpdf"
report image "$image" "$jobimage"
