#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test (GUI tests under Xvfb).
# Arguments go to ctest (for example -R lfw_graphics to run fewer).
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh --tests
./scripts/build.sh
BUILD_DIR=${VT_BUILD_DIR:-build}
# The fuzz programs are built with clang: the sources that tell the compilers apart most often
# are compiled with it too (a few seconds; skipped when clang is not installed). A failure fails
# the run once the tests have run.
status=0
./scripts/clang-syntax-check.py "$BUILD_DIR" || status=1
jobs=$(nproc 2>/dev/null || echo 2)

# Tests must never depend on the user's own settings or data. What the run writes goes into one
# scratch folder, removed when the run ends, however it ends.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir "$scratch/tmp" "$scratch/config" "$scratch/data" "$scratch/cache"
# Open to every user as /tmp is: some tests run the program as another user on files in it.
chmod 755 "$scratch"
chmod 1777 "$scratch/tmp"
export TMPDIR="$scratch/tmp"
export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache"
export LC_ALL=C.UTF-8
# The run has a session bus of its own, as a desktop has: without one GLib starts a bus for each
# program that asks (dconf's settings, when dbus-x11 is installed) and writes it into the home of
# the test's user.
bus=()
command -v dbus-run-session >/dev/null 2>&1 && bus=(dbus-run-session --)
(cd "$BUILD_DIR" && "${bus[@]}" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    ctest --output-on-failure -j "$jobs" --timeout 300 "$@") || status=$?

# Every test removes what it made in the temporary folder, also when it fails.
left=$(cd "$TMPDIR" && find . -mindepth 1 -maxdepth 2 | sort | head -n 40)
if [ -n "$left" ]; then
    echo "test.sh: the tests left these behind in their temporary folder (TMPDIR):" >&2
    echo "$left" | sed 's|^\./|    |' >&2
    status=1
fi
exit $status
