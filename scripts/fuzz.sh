#!/usr/bin/env bash
# Runs the libFuzzer targets with leak detection on, each for a while, from a copy of its corpus
# in tests/data/fuzz (the corpus in the tree is never written). LeakSanitizer leaves out only what
# fontconfig and the OpenMP runtime keep for the whole process (scripts/lsan.supp, also built into
# every fuzz program), so a run stops at leaks of our own, also those of blocks GLib or Cairo
# allocated. What a run finds is kept in build-fuzz/findings/<target>/; the run's own files go to
# a scratch folder (its TMPDIR and working folder), removed after each target.
#
#   scripts/fuzz.sh [-t seconds] [target ...]     # targets as in fuzz/: vtproj_fuzz, xml_fuzz...
#
# The fuzz programs are built with clang in their own folder (VT_FUZZ_BUILD_DIR, default
# build-fuzz) with -DVT_FUZZ=ON; with no target named, every one runs. What the build needs
# (clang, its fuzzer runtime, the libraries' headers) is installed first when missing
# (scripts/setup.sh --fuzz).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${VT_FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=60
while getopts "t:" option; do
    case $option in
    t) seconds=$OPTARG ;;
    *) exit 2 ;;
    esac
done
shift $((OPTIND - 1))

"$root/scripts/setup.sh" --fuzz
if ! command -v clang++ >/dev/null || ! command -v clang >/dev/null; then
    echo "fuzz.sh: clang is missing; install it with apt-get install clang libclang-rt-14-dev" >&2
    exit 1
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
    for source in "$root"/fuzz/*_fuzz.cpp; do
        targets+=("$(basename "$source" .cpp)")
    done
fi
if [ ! -f "$build/build.ninja" ]; then
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_FUZZ=ON \
        -DVT_BUILD_TESTS=OFF -DVT_BUILD_BENCH=OFF \
        -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang >/dev/null
fi
ninja -C "$build" -j4 "${targets[@]/%/_libfuzzer}"

export LSAN_OPTIONS="suppressions=$root/scripts/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
status=0
scratch=
# A run stopped midway (Ctrl+C) leaves no scratch folder behind either.
trap '[ -z "$scratch" ] || rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM
for target in "${targets[@]}"; do
    scratch=$(mktemp -d)
    mkdir -p "$scratch/corpus"
    if [ -d "$root/tests/data/fuzz/$target" ]; then
        cp -r "$root/tests/data/fuzz/$target/." "$scratch/corpus/"
    fi
    echo "== $target: ${seconds} s"
    # Run from the scratch folder, so that whatever a run writes in its working folder goes too.
    if ! (cd "$scratch" && TMPDIR="$scratch" "$build/${target}_libfuzzer" -detect_leaks=1 \
        -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$scratch/" \
        "$scratch/corpus" 2>&1 | tail -n 25); then
        status=1
    fi
    found=$(find "$scratch" -maxdepth 1 -type f \( -name 'crash-*' -o -name 'leak-*' \
        -o -name 'timeout-*' -o -name 'oom-*' \) | head -n 100)
    if [ -n "$found" ]; then
        mkdir -p "$build/findings/$target"
        cp $found "$build/findings/$target/"
        echo "$target: findings kept in $build/findings/$target" >&2
        status=1
    fi
    rm -rf "$scratch"
done
exit $status
