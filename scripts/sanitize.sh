#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UBSan into build-asan/ and runs the
# tests of the main window, the project viewer, the window layer, the end-to-end roads (second
# starts, resizing, focus after alerts, refused saves, signals and the display's end while a
# print, an export or a dialog is under way, a print system that refuses, files that block, a full
# disk, two monitors), the shared services, text drawn on several threads and the
# image codecs and palettes (their large pictures are worked on several threads) under them (GUI
# tests under Xvfb). Not part of ./test.sh: it takes long. Extra arguments go to ctest
# (for example -R main_dialog to run fewer).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --tests
BUILD_DIR=${VT_ASAN_BUILD_DIR:-build-asan}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVT_BUILD_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined" \
        -DCMAKE_C_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer" \
        -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined"
fi
cmake --build "$BUILD_DIR"
root=$(pwd)
# The run's settings, data and suppressions lie in one scratch folder, removed at the end.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# Readable by all: some tests run the program as another user, and it reads the suppressions.
chmod 755 "$scratch"
mkdir "$scratch/config" "$scratch/data" "$scratch/cache"
cat "$root/scripts/lsan.supp" "$root/scripts/lsan-gtk.supp" >"$scratch/lsan.supp"
# A failed allocation returns null, as the tests of allocations too large to make expect.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$scratch/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# GLib's slice allocator hides use-after-free from the sanitizer.
export G_SLICE=always-malloc G_DEBUG=gc-friendly
export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" XDG_CACHE_HOME="$scratch/cache"
export LC_ALL=C.UTF-8
# The run has a session bus of its own, as a desktop has: without one GLib starts a bus for each
# program that asks (dconf's settings, when dbus-x11 is installed) and writes it into the home of
# the test's user.
bus=()
command -v dbus-run-session >/dev/null 2>&1 && bus=(dbus-run-session --)
jobs=$(nproc 2>/dev/null || echo 2)
cd "$BUILD_DIR"
pattern='app_lxa_mac|app_project_viewer|app_vorantel_e2e|app_command_line|app_window_resize|app_focus_after|app_requests_and_saves|app_session_end|app_signals_during_work|app_program_ends|app_x_server_end|app_print_system|app_blocking_files|app_disk_and_changed_file|app_dialogs_on_the_desktop|app_window_places|lfw_zor_|lfw_mac_|lfw_graphics_|platform_ui_|platform_print_|platform_text_|platform_system_'
status=0
"${bus[@]}" xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
    ctest --output-on-failure -j "$jobs" --timeout 900 -R "$pattern" "$@" || status=$?
exit $status
